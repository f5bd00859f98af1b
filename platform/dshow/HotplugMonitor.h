#pragma once
// Watches a device folder with inotify and calls back, on its own thread,
// when video nodes appear, disappear or change their permissions. Bursts of
// events within a short settling time give one call.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace vq::dshow {

class HotplugMonitor {
 public:
  HotplugMonitor(std::string folder, std::function<void()> changed);
  ~HotplugMonitor();
  HotplugMonitor(const HotplugMonitor&) = delete;
  HotplugMonitor& operator=(const HotplugMonitor&) = delete;

  bool Running() const { return thread_.joinable(); }

 private:
  void Run();

  std::function<void()> changed_;
  int inotify_ = -1;
  int wake_ = -1;
  std::thread thread_;
};

}  // namespace vq::dshow

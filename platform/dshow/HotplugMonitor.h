#pragma once
// Watches for video devices coming and going and calls back, on its own
// thread: through udev's monitor when a udev daemon runs and the folder is
// the system's /dev (its events come once the node is ready), else through
// inotify on the folder (nodes appearing, disappearing or changing their
// permissions). Bursts of events within a short settling time give one call.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

struct udev;
struct udev_monitor;

namespace vq::dshow {

class HotplugMonitor {
 public:
  HotplugMonitor(std::string folder, std::function<void()> changed);
  ~HotplugMonitor();
  HotplugMonitor(const HotplugMonitor&) = delete;
  HotplugMonitor& operator=(const HotplugMonitor&) = delete;

  bool Running() const { return thread_.joinable(); }
  bool UsesUdev() const { return udevMonitor_ != nullptr; }

 private:
  void Run();
  bool StartUdev();
  bool DrainUdev();

  std::function<void()> changed_;
  struct udev* udev_ = nullptr;
  struct udev_monitor* udevMonitor_ = nullptr;
  int inotify_ = -1;
  int wake_ = -1;
  std::thread thread_;
};

}  // namespace vq::dshow

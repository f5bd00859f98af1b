#include "platform/dshow/HotplugMonitor.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <libudev.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace vq::dshow {

namespace {

constexpr int kSettleMs = 100;

// True when the buffer holds an event about a "video*" node.
bool MentionsVideoNode(const char* data, ssize_t size) {
  for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= size;) {
    const auto* e = reinterpret_cast<const inotify_event*>(data + at);
    if (e->len > 0 && std::strncmp(e->name, "video", 5) == 0) return true;
    at += ssize_t(sizeof(inotify_event)) + ssize_t(e->len);
  }
  return false;
}

}  // namespace

HotplugMonitor::HotplugMonitor(std::string folder, std::function<void()> changed) : changed_(std::move(changed)) {
  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake_ < 0) return;
  std::error_code ec;
  if (folder == "/dev" && std::filesystem::exists("/run/udev/control", ec) && StartUdev()) {
    thread_ = std::thread([this] { Run(); });
    return;
  }
  inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ < 0 ||
      ::inotify_add_watch(inotify_, folder.c_str(), IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_TO | IN_MOVED_FROM) < 0)
    return;
  thread_ = std::thread([this] { Run(); });
}

HotplugMonitor::~HotplugMonitor() {
  if (thread_.joinable()) {
    const uint64_t one = 1;
    if (::write(wake_, &one, sizeof one) < 0) {
    }
    thread_.join();
  }
  if (inotify_ >= 0) ::close(inotify_);
  if (wake_ >= 0) ::close(wake_);
  if (udevMonitor_) udev_monitor_unref(udevMonitor_);
  if (udev_) udev_unref(udev_);
}

bool HotplugMonitor::StartUdev() {
  udev_ = udev_new();
  if (!udev_) return false;
  udevMonitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (!udevMonitor_ || udev_monitor_filter_add_match_subsystem_devtype(udevMonitor_, "video4linux", nullptr) < 0 ||
      udev_monitor_enable_receiving(udevMonitor_) < 0) {
    if (udevMonitor_) udev_monitor_unref(udevMonitor_);
    udevMonitor_ = nullptr;
    return false;
  }
  return true;
}

// True when a video device was added or removed.
bool HotplugMonitor::DrainUdev() {
  bool any = false;
  while (udev_device* device = udev_monitor_receive_device(udevMonitor_)) {
    const char* action = udev_device_get_action(device);
    if (action && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0)) any = true;
    udev_device_unref(device);
  }
  return any;
}

void HotplugMonitor::Run() {
  alignas(inotify_event) char buffer[4096];
  bool pending = false;
  const int source = udevMonitor_ ? udev_monitor_get_fd(udevMonitor_) : inotify_;
  for (;;) {
    pollfd fds[2] = {{source, POLLIN, 0}, {wake_, POLLIN, 0}};
    const int r = ::poll(fds, 2, pending ? kSettleMs : -1);
    if (r < 0) continue;
    if (fds[1].revents) return;
    if (r == 0) {  // settled
      pending = false;
      changed_();
      continue;
    }
    if (udevMonitor_) {
      if (DrainUdev()) pending = true;
      continue;
    }
    ssize_t n;
    while ((n = ::read(inotify_, buffer, sizeof buffer)) > 0)
      if (MentionsVideoNode(buffer, n)) pending = true;
  }
}

}  // namespace vq::dshow

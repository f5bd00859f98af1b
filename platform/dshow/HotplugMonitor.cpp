#include "platform/dshow/HotplugMonitor.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>

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
  inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  wake_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (inotify_ < 0 || wake_ < 0 ||
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
}

void HotplugMonitor::Run() {
  alignas(inotify_event) char buffer[4096];
  bool pending = false;
  for (;;) {
    pollfd fds[2] = {{inotify_, POLLIN, 0}, {wake_, POLLIN, 0}};
    const int r = ::poll(fds, 2, pending ? kSettleMs : -1);
    if (r < 0) continue;
    if (fds[1].revents) return;
    if (r == 0) {  // settled
      pending = false;
      changed_();
      continue;
    }
    ssize_t n;
    while ((n = ::read(inotify_, buffer, sizeof buffer)) > 0)
      if (MentionsVideoNode(buffer, n)) pending = true;
  }
}

}  // namespace vq::dshow

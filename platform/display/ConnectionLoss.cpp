#include "platform/display/ConnectionLoss.h"

#include <map>
#include <mutex>
#include <set>

namespace vqplatform {

namespace {

std::mutex watchedMutex;
std::map<Display*, std::atomic<bool>*> watched;
XIOErrorHandler previousHandler = nullptr;

bool IsWatched(Display* display) {
  std::lock_guard lock(watchedMutex);
  return watched.count(display) != 0;
}

// Process-wide: a watched connection's handler returns, so its own exit
// handler (below) runs instead of the process ending.
int OnIoError(Display* display) {
  if (!IsWatched(display) && previousHandler) return previousHandler(display);
  return 0;
}

void OnLoss(Display*, void* lost) { static_cast<std::atomic<bool>*>(lost)->store(true); }

std::mutex ignoredMutex;
std::set<Display*> ignored;
XErrorHandler previousErrorHandler = nullptr;
std::atomic<unsigned long> ignoredErrors{0};

int OnProtocolError(Display* display, XErrorEvent* error) {
  XErrorHandler previous = nullptr;
  {
    std::lock_guard lock(ignoredMutex);
    if (ignored.count(display)) {
      ++ignoredErrors;
      return 0;
    }
    previous = previousErrorHandler;
  }
  return previous ? previous(display, error) : 0;
}

}  // namespace

void IgnoreProtocolErrors(Display* display) {
  std::lock_guard lock(ignoredMutex);
  ignored.insert(display);
  // Installed again over whatever handler came since, which then sees the
  // other connections' errors.
  XErrorHandler current = XSetErrorHandler(OnProtocolError);
  if (current != OnProtocolError) previousErrorHandler = current;
}

void ForgetProtocolErrors(Display* display) {
  std::lock_guard lock(ignoredMutex);
  ignored.erase(display);
}

unsigned long IgnoredProtocolErrors() { return ignoredErrors.load(); }

void WatchConnectionLoss(Display* display, std::atomic<bool>* lost) {
  {
    std::lock_guard lock(watchedMutex);
    watched[display] = lost;
  }
  static const bool installed = [] {
    previousHandler = XSetIOErrorHandler(OnIoError);
    return true;
  }();
  (void)installed;
  XSetIOErrorExitHandler(display, OnLoss, lost);
}

void ForgetConnectionLoss(Display* display) {
  std::lock_guard lock(watchedMutex);
  watched.erase(display);
}

}  // namespace vqplatform

#include "platform/display/ConnectionLoss.h"

#include <map>
#include <mutex>
#include <set>

namespace vqplatform {

namespace {

// Xlib's handlers are process-wide and outlive a library that carries the
// layer: ours go back to the ones they replaced when the last connection is
// forgotten, unless another handler has replaced ours since.
template <class Handler>
void PutBack(Handler (*set)(Handler), Handler ours, Handler& previous) {
  const Handler current = set(previous);
  if (current != ours) set(current);
  previous = nullptr;
}

std::mutex watchedMutex;
std::map<Display*, std::atomic<bool>*> watched;
XIOErrorHandler previousHandler = nullptr;

// Process-wide: a watched connection's handler returns, so its own exit
// handler (below) runs instead of the process ending.
int OnIoError(Display* display) {
  XIOErrorHandler previous = nullptr;
  {
    std::lock_guard lock(watchedMutex);
    if (watched.count(display)) return 0;
    previous = previousHandler;
  }
  return previous ? previous(display) : 0;
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
  if (ignored.empty() && previousErrorHandler) PutBack(XSetErrorHandler, &OnProtocolError, previousErrorHandler);
}

unsigned long IgnoredProtocolErrors() { return ignoredErrors.load(); }

void WatchConnectionLoss(Display* display, std::atomic<bool>* lost) {
  {
    std::lock_guard lock(watchedMutex);
    if (XIOErrorHandler current = XSetIOErrorHandler(OnIoError); current != OnIoError) previousHandler = current;
    watched[display] = lost;
  }
  XSetIOErrorExitHandler(display, OnLoss, lost);
}

void ForgetConnectionLoss(Display* display) {
  std::lock_guard lock(watchedMutex);
  watched.erase(display);
  if (watched.empty() && previousHandler) PutBack(XSetIOErrorHandler, &OnIoError, previousHandler);
}

}  // namespace vqplatform

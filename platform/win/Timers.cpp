#include "platform/win/Timers.h"

#include <algorithm>
#include <mutex>

#include "platform/win/Clock.h"
#include "platform/win/Dispatcher.h"
#include "platform/win/Threads.h"
#include "platform/win/WindowRegistry.h"

using namespace vqplatform;

namespace {

// Ids of thread timers count down from the top, away from window timer ids.
UINT_PTR g_nextThreadTimerId = 0x7FFF;

// The thread whose queue carries the timers of `hwnd` (lock held); null
// and an error set when the window is unknown or not the caller's.
ThreadContext* TimerQueueFor(HWND hwnd) {
  ThreadContext& self = Dispatcher::Current();
  if (!hwnd) return &self;
  WindowObject* window = FindWindowObject(hwnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  if (window->thread.get() != &self) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return &self;
}

}  // namespace

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  Dispatcher::Current();
  std::lock_guard lock(Dispatcher::Mutex());
  ThreadContext* queue = TimerQueueFor(hwnd);
  if (!queue) return 0;
  uint64_t interval = std::clamp<uint64_t>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  if (!hwnd) {
    auto existing = std::find_if(queue->timers.begin(), queue->timers.end(),
                                 [id](const QueueTimer& t) { return !t.hwnd && t.id == id && id != 0; });
    if (existing == queue->timers.end()) id = g_nextThreadTimerId--;
  }
  auto& timers = queue->timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const QueueTimer& t) { return t.hwnd == hwnd && t.id == id; }),
               timers.end());
  timers.push_back(QueueTimer{hwnd, id, interval, Clock::NowMs() + interval, proc});
  Dispatcher::Wake(*queue);
  return id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  std::lock_guard lock(Dispatcher::Mutex());
  ThreadContext* queue = TimerQueueFor(hwnd);
  if (!queue) return FALSE;
  auto& timers = queue->timers;
  auto it = std::find_if(timers.begin(), timers.end(),
                         [&](const QueueTimer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == timers.end()) return FALSE;
  timers.erase(it);
  return TRUE;
}

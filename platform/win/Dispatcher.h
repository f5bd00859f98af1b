#pragma once
// The dispatcher: one process-wide lock guards every synchronisation object,
// message queue and window; each thread blocks on its own condition variable
// and is woken by whatever it waits for (an object, its queue, the clock).
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

namespace vqplatform {

class ThreadContext;

// A message sent to a window of another thread, or a task run on that
// thread; the sender blocks until `done`.
struct SentMessage {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::function<LRESULT()> task;  // run instead of the window procedure when set
  // User input from the display: handled in its order, each only once the
  // mouse and key messages of the input before it have been retrieved.
  bool input = false;
  LRESULT result = 0;
  bool done = false;
  std::shared_ptr<ThreadContext> sender;
};

struct QueueTimer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  uint64_t interval = 0;
  uint64_t due = 0;
  TIMERPROC proc = nullptr;
};

// Per-thread state. Members below `wake` are guarded by the dispatcher lock,
// except lastError, which only its own thread touches.
class ThreadContext {
 public:
  explicit ThreadContext(DWORD threadId) : id(threadId) {}
  ThreadContext(const ThreadContext&) = delete;
  ThreadContext& operator=(const ThreadContext&) = delete;

  const DWORD id;
  std::condition_variable wake;
  DWORD lastError = 0;

  bool ended = false;
  bool waiting = false;       // blocked in WaitOnce
  bool startPending = false;  // started by CreateThread, not yet waited
  // Woken by the layer (or just started by CreateThread) and not yet blocked
  // in one of its waits again.
  bool atWork = false;
  uint64_t timedDeadline = 0;
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> sentInbox;
  bool quitPosted = false;
  int quitCode = 0;
  std::vector<QueueTimer> timers;
  std::vector<HWND> invalidWindows;  // windows with a pending WM_PAINT
};

class Dispatcher {
 public:
  static std::mutex& Mutex();

  // The calling thread's context, created on first use.
  static ThreadContext& Current();
  static std::shared_ptr<ThreadContext> CurrentShared();
  // A live thread by id, or null.
  static std::shared_ptr<ThreadContext> FindThread(DWORD threadId);

  // Reserves an id for a thread about to start; the thread adopts it with
  // AttachCurrentThread before it runs any code of the layer.
  static DWORD ReserveThreadId();
  // The same for CreateThread: the thread counts as at work from now until
  // it first waits. ForgetStartingThread when it could not be started.
  static DWORD ReserveStartingThreadId();
  static void ForgetStartingThread(DWORD threadId);
  static void AttachCurrentThread(DWORD threadId);
  // Ends the calling thread's life in the layer: pending sends are answered
  // with 0, its queue is dropped and its windows are destroyed silently.
  static void DetachCurrentThread();

  // Blocks once (lock held) until woken, or until the clock reaches
  // `deadline` (milliseconds of Clock::NowMs). Callers loop and re-check.
  static void WaitOnce(std::unique_lock<std::mutex>& lock, ThreadContext& self,
                       std::optional<uint64_t> deadline);

  // Wakes a thread (lock held) for something it waits on; from then on it
  // no longer counts as waiting for a deadline, so a test running the
  // manual clock knows it still has work to do.
  static void Wake(ThreadContext& thread);

  // Clock support (lock held): wake the timed waiters whose deadline has
  // passed, or all of them when the time source changed.
  static void WakeExpiredWaiters(uint64_t now);
  static void WakeAllTimedWaiters();
  static size_t TimedWaiterCount();
  static bool WaitForTimedWaiters(std::unique_lock<std::mutex>& lock, size_t count,
                                  std::chrono::milliseconds realTimeout);
  // Threads at work (see ThreadContext::atWork), the calling one not
  // counted, and a wait (lock held) until there are none.
  static size_t ThreadsAtWork();
  static bool WaitForThreadsAtRest(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds realTimeout);
};

// Deadline in clock milliseconds for a Win32 time-out (none for INFINITE).
std::optional<uint64_t> DeadlineAfter(DWORD milliseconds);

// Queue input of the QS_ kinds in `mask` (lock held): whether some is there
// now, and when the next timer of those kinds falls due.
bool QueueHasInput(ThreadContext& self, UINT mask);
std::optional<uint64_t> NextQueueInputDue(const ThreadContext& self, UINT mask);

// WaitForMultipleObjects that also ends, with WAIT_OBJECT_0 + count, when
// the calling thread's queue has input of the kinds in `inputMask` (0: none).
DWORD WaitForObjectsOrInput(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                            UINT inputMask);

}  // namespace vqplatform

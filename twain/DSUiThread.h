#pragma once
// The data source's own user-interface thread. Hosts on Linux run no loop of
// ours, so every triplet is carried over to this thread, which owns the data
// source objects and their windows: a hidden window of the thread receives
// each one, and the thread's message loop also serves the windows the source
// opens. The caller blocks until the triplet is handled, as with SendMessage,
// but never touches the message layer itself: a host thread that got a
// message queue of ours would keep the library loaded after the manager's
// dlclose.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/win/WinTypes.h"

class CDSUiThread {
 public:
  CDSUiThread() = default;
  ~CDSUiThread();
  CDSUiThread(const CDSUiThread&) = delete;
  CDSUiThread& operator=(const CDSUiThread&) = delete;

  // Starts the thread and its window when they are not running; false when
  // they cannot start.
  bool Start();
  // Destroys the window, lets the loop end and joins the thread.
  void Stop();
  bool IsRunning() const { return m_thread.joinable(); }
  bool IsCurrentThread() const { return std::this_thread::get_id() == m_threadId; }

  // Runs work on the thread and waits for it; on the thread itself, or while
  // no thread runs, it runs directly. Work `outsideModalLoops` (it destroys
  // what a modal loop's caller still uses) goes through the thread's
  // deferred queue: arriving under nested loops, it ends them as a cancel
  // would and runs once they have unwound. False when it could not be
  // handed over.
  bool Call(const std::function<void()>& work, bool outsideModalLoops = false);
  // Work the thread runs from its own loop after each message while it is
  // inside no modal loop and no handler: nothing of the caller's is on its
  // stack then. Set before Start.
  void SetTopLevelWork(std::function<void()> work) { m_topLevelWork = std::move(work); }
  // Lets the thread's loop look at its top-level work again.
  void Wake();
  // On the thread: lets its loop look again after `milliseconds` of the
  // layer's clock, once (an earlier one set stays unless `replace`).
  void WakeAfter(unsigned milliseconds, bool replace);

 private:
  struct Task {
    const std::function<void()>* work;
    bool outsideModalLoops = false;
    bool done = false;
  };
  void Run();
  void RunTask(Task* task);
  static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  std::thread m_thread;
  std::thread::id m_threadId;
  HWND m_window = nullptr;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_starting = false;
  bool m_wakePending = false;  // on the thread
  std::function<void()> m_topLevelWork;
};

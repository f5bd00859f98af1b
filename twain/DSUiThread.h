#pragma once
// The data source's own user-interface thread. Hosts on Linux run no loop of
// ours, so every triplet is carried over to this thread, which owns the data
// source objects and their windows; the caller blocks until it is handled.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <queue>
#include <thread>

class CDSUiThread {
 public:
  CDSUiThread() = default;
  ~CDSUiThread();
  CDSUiThread(const CDSUiThread&) = delete;
  CDSUiThread& operator=(const CDSUiThread&) = delete;

  // Starts the thread when it is not running; false when it cannot start.
  bool Start();
  // Lets the thread finish what it was given and joins it.
  void Stop();
  bool IsRunning() const { return m_thread.joinable(); }
  bool IsCurrentThread() const;

  // Runs work on the thread and waits for it; on the thread itself it runs
  // directly. The thread must be running when called from another thread.
  void Call(const std::function<void()>& work);

 private:
  struct Task {
    const std::function<void()>* work;
    bool done = false;
  };
  void Run();

  std::thread m_thread;
  std::thread::id m_threadId;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::condition_variable m_done;
  std::queue<Task*> m_tasks;
  bool m_stopping = false;
};

#include "twain/DSUiThread.h"

#include <system_error>

CDSUiThread::~CDSUiThread() { Stop(); }

bool CDSUiThread::Start() {
  if (m_thread.joinable()) return true;
  std::lock_guard lock(m_mutex);
  m_stopping = false;
  try {
    m_thread = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    return false;
  }
  m_threadId = m_thread.get_id();
  return true;
}

void CDSUiThread::Stop() {
  if (!m_thread.joinable() || IsCurrentThread()) return;
  {
    std::lock_guard lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  m_thread.join();
  m_threadId = std::thread::id();
}

bool CDSUiThread::IsCurrentThread() const {
  return m_thread.joinable() && std::this_thread::get_id() == m_threadId;
}

void CDSUiThread::Call(const std::function<void()>& work) {
  if (IsCurrentThread() || !m_thread.joinable()) {
    work();
    return;
  }
  Task task{&work};
  std::unique_lock lock(m_mutex);
  m_tasks.push(&task);
  m_wake.notify_all();
  m_done.wait(lock, [&] { return task.done; });
}

void CDSUiThread::Run() {
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_wake.wait(lock, [&] { return m_stopping || !m_tasks.empty(); });
    if (m_tasks.empty()) return;  // stopping with nothing left
    Task* task = m_tasks.front();
    m_tasks.pop();
    lock.unlock();
    (*task->work)();
    lock.lock();
    task->done = true;
    m_done.notify_all();
  }
}

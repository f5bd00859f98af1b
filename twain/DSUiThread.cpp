#include "twain/DSUiThread.h"

#include <system_error>

#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Timers.h"
#include "platform/win/Window.h"

namespace {

constexpr wchar_t kClassName[] = L"StrenvikTripletWindow";
// lParam: the task to run.
constexpr UINT WM_DS_TRIPLET = WM_APP + 0x100;
constexpr UINT_PTR kWakeTimer = 1;

}  // namespace

CDSUiThread::~CDSUiThread() { Stop(); }

bool CDSUiThread::Start() {
  if (m_thread.joinable()) return true;
  std::unique_lock lock(m_mutex);
  m_window = nullptr;
  m_wakePending = false;
  m_starting = true;
  try {
    m_thread = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    m_starting = false;
    return false;
  }
  m_threadId = m_thread.get_id();
  m_changed.wait(lock, [&] { return !m_starting; });
  if (m_window) return true;
  lock.unlock();
  m_thread.join();  // the window could not be made; the thread has ended
  m_threadId = std::thread::id();
  return false;
}

void CDSUiThread::Stop() {
  if (!m_thread.joinable() || IsCurrentThread()) return;
  PostMessageW(m_window, WM_CLOSE, 0, 0);
  m_thread.join();
  m_threadId = std::thread::id();
  m_window = nullptr;
}

bool CDSUiThread::Call(const std::function<void()>& work, bool outsideModalLoops) {
  if (!m_thread.joinable() || IsCurrentThread()) {
    work();
    return true;
  }
  Task task{&work, outsideModalLoops};
  if (!PostMessageW(m_window, WM_DS_TRIPLET, 0, reinterpret_cast<LPARAM>(&task))) return false;
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [&] { return task.done; });
  return true;
}

void CDSUiThread::Run() {
  WNDCLASSW windowClass{};
  if (!GetClassInfoW(nullptr, kClassName, &windowClass)) {
    windowClass.lpfnWndProc = &CDSUiThread::WindowProc;
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);
  }
  HWND window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                this);
  if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  {
    std::lock_guard lock(m_mutex);
    m_window = window;
    m_starting = false;
  }
  m_changed.notify_all();
  if (!window) return;
  vqplatform::RunThreadLoop([this] {
    if (m_topLevelWork) m_topLevelWork();
  });
}

void CDSUiThread::Wake() {
  if (m_window) PostMessageW(m_window, WM_NULL, 0, 0);
}

void CDSUiThread::WakeAfter(unsigned milliseconds, bool replace) {
  if (!m_window || (m_wakePending && !replace)) return;
  m_wakePending = SetTimer(m_window, kWakeTimer, milliseconds, nullptr) != 0;
}

void CDSUiThread::RunTask(Task* task) {
  (*task->work)();
  {
    std::lock_guard lock(m_mutex);
    task->done = true;
  }
  m_changed.notify_all();
}

LRESULT CDSUiThread::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DS_TRIPLET: {
      auto* task = reinterpret_cast<Task*>(lParam);
      auto* self = reinterpret_cast<CDSUiThread*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      if (task->outsideModalLoops)
        vqplatform::RunAtTopLevel([self, task] { self->RunTask(task); }, true);
      else
        self->RunTask(task);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kWakeTimer) {
        // Once: the loop looks at its top-level work after this message.
        KillTimer(hwnd, kWakeTimer);
        if (auto* self = reinterpret_cast<CDSUiThread*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
          self->m_wakePending = false;
        return 0;
      }
      return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_DESTROY:
      KillTimer(hwnd, kWakeTimer);
      PostQuitMessage(0);
      return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

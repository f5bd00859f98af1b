#include "platform/win/Threads.h"

#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/win/Dispatcher.h"

namespace vqplatform {
namespace {

class ThreadObject : public KernelObject {
 public:
  bool IsWaitable() const override { return true; }
  bool IsSignalled() const override { return ended_; }
  // Dispatcher lock held.
  void Finish(DWORD exitCode) {
    exitCode_ = exitCode;
    ended_ = true;
    WakeWaiters();
  }
  DWORD ExitCode() const { return ended_ ? exitCode_ : static_cast<DWORD>(STILL_ACTIVE); }

 private:
  bool ended_ = false;
  DWORD exitCode_ = 0;
};

// Signals a thread's handle as its last act. Made first on the thread, it
// goes after every other thread-local object: a waiter that then unloads the
// library finds none of its destructors still to run there, so the library
// is unmapped and not kept for them.
struct EndSignal {
  std::shared_ptr<ThreadObject> thread;
  DWORD exitCode = 0;
  ~EndSignal() {
    if (!thread) return;
    std::lock_guard lock(Dispatcher::Mutex());
    thread->Finish(exitCode);
  }
};

// Thrown by ExitThread and caught where CreateThread's routine is called.
struct ThreadExitRequest {
  DWORD exitCode;
};

}  // namespace
}  // namespace vqplatform

using namespace vqplatform;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
  if (!start || (creationFlags & CREATE_SUSPENDED)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<ThreadObject>();
  DWORD id = Dispatcher::ReserveStartingThreadId();
  try {
    std::thread([thread, id, start, parameter] {
      thread_local EndSignal end;
      end.thread = thread;
      Dispatcher::AttachCurrentThread(id);
      try {
        end.exitCode = start(parameter);
      } catch (const ThreadExitRequest& request) {
        end.exitCode = request.exitCode;
      }
      Dispatcher::DetachCurrentThread();
    }).detach();
  } catch (const std::system_error&) {
    Dispatcher::ForgetStartingThread(id);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId) *threadId = id;
  return RegisterHandle(thread);
}

void ExitThread(DWORD exitCode) { throw ThreadExitRequest{exitCode}; }

DWORD GetCurrentThreadId() { return Dispatcher::Current().id; }

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  auto thread = LookupHandleAs<ThreadObject>(handle);
  if (!thread || !exitCode) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard lock(Dispatcher::Mutex());
  *exitCode = thread->ExitCode();
  return TRUE;
}

DWORD GetLastError() { return Dispatcher::Current().lastError; }

void SetLastError(DWORD error) { Dispatcher::Current().lastError = error; }

#pragma once
// Kernel object handles: one process-wide table maps HANDLE values to layer
// objects (events, threads, files...). A value is never reused, so a stale
// handle fails cleanly instead of reaching another object.
#include <memory>
#include <vector>

#include "platform/win/WinTypes.h"

namespace vqplatform {

class ThreadContext;

// Base of every object a HANDLE can refer to. Waitable kinds override the
// three hooks; they are called with the dispatcher lock held.
class KernelObject {
 public:
  virtual ~KernelObject() = default;
  virtual bool IsWaitable() const { return false; }
  virtual bool IsSignalled() const { return false; }
  // Called when a wait is satisfied by this object (auto-reset events reset).
  virtual void OnWaitSatisfied() {}

  // Threads blocked on this object (dispatcher lock held).
  void AddWaiter(ThreadContext* waiter);
  void RemoveWaiter(ThreadContext* waiter);
  // Wakes every waiting thread (dispatcher lock held).
  void WakeWaiters();

 private:
  std::vector<ThreadContext*> waiters_;
};

// Gives the object a new handle value; the table keeps it alive until the
// handle is closed.
HANDLE RegisterHandle(std::shared_ptr<KernelObject> object);

// The object behind a handle, or null for a closed or unknown handle.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

}  // namespace vqplatform

// Closes any handle of the table; FALSE with ERROR_INVALID_HANDLE otherwise.
BOOL CloseHandle(HANDLE handle);

#include "platform/win/Sync.h"

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/Clock.h"
#include "platform/win/Dispatcher.h"
#include "platform/win/Threads.h"
#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

class EventObject : public KernelObject {
 public:
  EventObject(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}
  bool IsWaitable() const override { return true; }
  bool IsSignalled() const override { return signalled_; }
  void OnWaitSatisfied() override {
    if (!manualReset_) signalled_ = false;
  }
  // Dispatcher lock held.
  void Set() {
    signalled_ = true;
    WakeWaiters();
  }
  void Reset() { signalled_ = false; }

 private:
  const bool manualReset_;
  bool signalled_;
};

// Named events of the process; an entry lives while a handle to it is open.
struct EventNames {
  std::mutex mutex;
  std::map<std::wstring, std::weak_ptr<EventObject>> events;
};

EventNames& Names() {
  static auto* names = MakeSingleton<EventNames>();
  return *names;
}

std::shared_ptr<EventObject> FindNamedEvent(EventNames& names, const std::wstring& name) {
  auto it = names.events.find(name);
  if (it == names.events.end()) return nullptr;
  auto event = it->second.lock();
  if (!event) names.events.erase(it);
  return event;
}

template <class Action>
BOOL WithEvent(HANDLE handle, Action action) {
  auto event = LookupHandleAs<EventObject>(handle);
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard lock(Dispatcher::Mutex());
  action(*event);
  return TRUE;
}

}  // namespace
}  // namespace vqplatform

using namespace vqplatform;

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_SUCCESS);
    return RegisterHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
  }
  EventNames& names = Names();
  std::lock_guard lock(names.mutex);
  if (auto existing = FindNamedEvent(names, name)) {
    HANDLE handle = RegisterHandle(existing);
    SetLastError(ERROR_ALREADY_EXISTS);
    return handle;
  }
  auto event = std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE);
  names.events[name] = event;
  SetLastError(ERROR_SUCCESS);
  return RegisterHandle(event);
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  EventNames& names = Names();
  std::lock_guard lock(names.mutex);
  auto existing = FindNamedEvent(names, name);
  if (!existing) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return RegisterHandle(existing);
}

BOOL SetEvent(HANDLE event) {
  return WithEvent(event, [](EventObject& e) { e.Set(); });
}

BOOL ResetEvent(HANDLE event) {
  return WithEvent(event, [](EventObject& e) { e.Reset(); });
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  return WaitForObjectsOrInput(count, handles, waitAll, milliseconds, 0);
}

DWORD vqplatform::WaitForObjectsOrInput(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                        UINT inputMask) {
  if ((count == 0 && inputMask == 0) || count > MAXIMUM_WAIT_OBJECTS || (count > 0 && !handles)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<KernelObject>> objects;
  for (DWORD i = 0; i < count; ++i) {
    auto object = LookupHandle(handles[i]);
    if (!object || !object->IsWaitable()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    objects.push_back(std::move(object));
  }
  ThreadContext& self = Dispatcher::Current();
  auto deadline = DeadlineAfter(milliseconds);
  std::unique_lock lock(Dispatcher::Mutex());
  for (;;) {
    if (waitAll) {
      bool all = true;
      for (auto& object : objects) all = all && object->IsSignalled();
      if (all) {
        for (auto& object : objects) object->OnWaitSatisfied();
        return WAIT_OBJECT_0;
      }
    } else {
      for (DWORD i = 0; i < count; ++i) {
        if (objects[i]->IsSignalled()) {
          objects[i]->OnWaitSatisfied();
          return WAIT_OBJECT_0 + i;
        }
      }
    }
    if (inputMask && QueueHasInput(self, inputMask)) return WAIT_OBJECT_0 + count;
    if (deadline && Clock::NowMs() >= *deadline) return WAIT_TIMEOUT;
    auto wakeAt = deadline;
    if (auto due = inputMask ? NextQueueInputDue(self, inputMask) : std::nullopt; due && (!wakeAt || *due < *wakeAt))
      wakeAt = due;
    for (auto& object : objects) object->AddWaiter(&self);
    Dispatcher::WaitOnce(lock, self, wakeAt);
    for (auto& object : objects) object->RemoveWaiter(&self);
  }
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  ThreadContext& self = Dispatcher::Current();
  auto deadline = DeadlineAfter(milliseconds);
  std::unique_lock lock(Dispatcher::Mutex());
  while (!deadline || Clock::NowMs() < *deadline) Dispatcher::WaitOnce(lock, self, deadline);
}

void InitializeCriticalSection(LPCRITICAL_SECTION) {}

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION, DWORD) { return TRUE; }

void DeleteCriticalSection(LPCRITICAL_SECTION) {}

void EnterCriticalSection(LPCRITICAL_SECTION section) { section->mutex.lock(); }

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) { return section->mutex.try_lock() ? TRUE : FALSE; }

void LeaveCriticalSection(LPCRITICAL_SECTION section) { section->mutex.unlock(); }

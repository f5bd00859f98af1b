#include "platform/win/Handles.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/win/Dispatcher.h"
#include "platform/win/Threads.h"
#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = 0x1000;
};

HandleTable& Table() {
  static auto* table = MakeSingleton<HandleTable>();
  return *table;
}

}  // namespace

void KernelObject::AddWaiter(ThreadContext* waiter) { waiters_.push_back(waiter); }

void KernelObject::RemoveWaiter(ThreadContext* waiter) {
  auto it = std::find(waiters_.begin(), waiters_.end(), waiter);
  if (it != waiters_.end()) waiters_.erase(it);
}

void KernelObject::WakeWaiters() {
  for (ThreadContext* waiter : waiters_) Dispatcher::Wake(*waiter);
}

HANDLE RegisterHandle(std::shared_ptr<KernelObject> object) {
  if (!object) return nullptr;
  HandleTable& table = Table();
  std::lock_guard lock(table.mutex);
  uintptr_t value = table.next;
  table.next += 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
  HandleTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == table.objects.end() ? nullptr : it->second;
}

}  // namespace vqplatform

BOOL CloseHandle(HANDLE handle) {
  using namespace vqplatform;
  std::shared_ptr<KernelObject> released;  // destroyed after the table lock is dropped
  {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it != table.objects.end()) {
      released = std::move(it->second);
      table.objects.erase(it);
    }
  }
  if (!released) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

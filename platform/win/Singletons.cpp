#include "platform/win/Singletons.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

namespace vqplatform {
namespace {

struct Kept {
  void* object;
  void (*destroy)(void*);
};

// Plain storage: it must outlive every table, static destructors included.
std::mutex& KeptMutex() {
  static std::mutex* mutex = new std::mutex;  // freed with the last table
  return *mutex;
}
std::vector<Kept>*& KeptList() {
  static std::vector<Kept>* list = nullptr;
  return list;
}

// A forked child has none of the workers' threads: nothing to stop, and
// nothing to wait for as it exits.
std::atomic<bool> g_forkedChild{false};
void MarkForkedChild() { g_forkedChild.store(true, std::memory_order_relaxed); }

std::mutex& WorkersMutex() {
  static std::mutex* mutex = MakeSingleton<std::mutex>();
  return *mutex;
}
std::vector<void (*)()>& Workers() {
  static auto* workers = MakeSingleton<std::vector<void (*)()>>();
  return *workers;
}

}  // namespace

void* KeepSingleton(void* object, void (*destroy)(void*)) {
  std::lock_guard lock(KeptMutex());
  std::vector<Kept>*& list = KeptList();
  if (!list) list = new std::vector<Kept>;
  list->push_back({object, destroy});
  return object;
}

void ReleaseSingletons() {
  std::vector<Kept>* list = nullptr;
  {
    std::lock_guard lock(KeptMutex());
    list = std::exchange(KeptList(), nullptr);
  }
  if (list) {
    for (auto it = list->rbegin(); it != list->rend(); ++it) it->destroy(it->object);
    delete list;
  }
  delete &KeptMutex();
}

void KeepWorker(void (*stop)()) {
  std::lock_guard lock(WorkersMutex());
  std::vector<void (*)()>& workers = Workers();
  if (std::find(workers.begin(), workers.end(), stop) == workers.end()) workers.push_back(stop);
  StopWorkersAtExit();
}

void StopWorkersAtExit() {
  static std::once_flag once;
  std::call_once(once, [] {
    pthread_atfork(nullptr, nullptr, &MarkForkedChild);
    std::atexit(&StopProcessWorkers);
  });
}

void StopProcessWorkers() {
  if (g_forkedChild.load(std::memory_order_relaxed)) return;
  std::vector<void (*)()> workers;
  {
    std::lock_guard lock(WorkersMutex());
    workers = Workers();
  }
  // A worker may stop another's use of the layer: outside the lock.
  for (auto it = workers.rbegin(); it != workers.rend(); ++it) (*it)();
}

}  // namespace vqplatform

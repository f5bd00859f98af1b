#include "platform/win/Singletons.h"

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

}  // namespace vqplatform

#include "tests/twain/TestManager.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <mutex>
#include <thread>
#include <utility>

namespace twaintest {

namespace {

std::atomic<int> g_allocations{0}, g_frees{0}, g_locks{0}, g_unlocks{0};
std::atomic<bool> g_refuseOnceEnding{false};
std::atomic<bool> g_ending{false};

void RefuseIfEnding(const char* what) {
  if (!g_refuseOnceEnding || !g_ending) return;
  std::fprintf(stderr, "test manager: the source called %s after the manager began to end\n", what);
  std::fflush(stderr);
  std::abort();
}
std::mutex g_mutex;
std::condition_variable g_notified;
// Every manager of the test: notifications go to the one that opened the host.
std::vector<TestManager*> g_managers;

TW_HANDLE CountingAlloc(TW_UINT32 bytes) {
  RefuseIfEnding("DSM_MemAllocate");
  ++g_allocations;
  return std::calloc(bytes ? bytes : 1, 1);
}
void CountingFree(TW_HANDLE handle) {
  RefuseIfEnding("DSM_MemFree");
  ++g_frees;
  std::free(handle);
}
TW_MEMREF CountingLock(TW_HANDLE handle) {
  RefuseIfEnding("DSM_MemLock");
  ++g_locks;
  return handle;
}
void CountingUnlock(TW_HANDLE) {
  RefuseIfEnding("DSM_MemUnlock");
  ++g_unlocks;
}

}  // namespace

TW_UINT32 IdOf(const TW_IDENTITY& identity) { return identity.Id; }

// The lock a call's return path waits on: a thread of its own takes it
// before the source's entry is called and lets it go `hold` after the entry
// has returned.
class TestManager::ReturnGate {
 public:
  explicit ReturnGate(std::chrono::microseconds hold) : hold_(hold), holder_([this] { Hold(); }) {}
  ~ReturnGate() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    holder_.join();
  }
  // Before the entry: the holder has the lock.
  void Arm() {
    std::unique_lock lock(mutex_);
    armed_ = true;
    returned_ = false;
    changed_.notify_all();
    changed_.wait(lock, [&] { return held_; });
  }
  // After the entry: the return path waits on the lock.
  void WaitThrough() {
    {
      std::lock_guard lock(mutex_);
      returned_ = true;
    }
    changed_.notify_all();
    returnLock_.lock();
    returnLock_.unlock();
  }

 private:
  void Hold() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return armed_ || stop_; });
      if (stop_) return;
      returnLock_.lock();
      held_ = true;
      changed_.notify_all();
      changed_.wait(lock, [&] { return returned_ || stop_; });
      lock.unlock();
      std::this_thread::sleep_for(hold_);
      lock.lock();
      held_ = false;
      armed_ = false;
      returnLock_.unlock();
    }
  }
  const std::chrono::microseconds hold_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::mutex returnLock_;
  bool armed_ = false, held_ = false, returned_ = false, stop_ = false;
  std::thread holder_;
};

TestHost::TestHost(TW_UINT32 id, bool app2) {
  identity.Id = id;
  identity.Version = {1, 0, TWLG_ENGLISH, TWCY_USA, "test host"};
  identity.ProtocolMajor = 2;
  identity.ProtocolMinor = 1;
  identity.SupportedGroups = DG_CONTROL | DG_IMAGE | (app2 ? DF_APP2 : 0);
  std::strcpy(identity.Manufacturer, "Tests");
  std::strcpy(identity.ProductFamily, "Tests");
  std::strcpy(identity.ProductName, "Test host");
}

TestManager::TestManager(DSENTRYPROC entry) : m_entry(entry) { Register(); }

TestManager::TestManager(std::string libraryPath) : m_path(std::move(libraryPath)) { Register(); }

TestManager::~TestManager() {
  g_ending = true;
  m_gate.reset();
  while (m_loads > 0) Unload();
  std::lock_guard lock(g_mutex);
  g_managers.erase(std::remove(g_managers.begin(), g_managers.end(), this), g_managers.end());
}

void TestManager::Register() {
  std::lock_guard lock(g_mutex);
  g_managers.push_back(this);
}

TW_ENTRYPOINT TestManager::EntryPoints() {
  return TW_ENTRYPOINT{sizeof(TW_ENTRYPOINT), &TestManager::ManagerEntry, CountingAlloc,
                       CountingFree, CountingLock, CountingUnlock};
}

MemoryCounts TestManager::Memory() {
  return {g_allocations.load(), g_frees.load(), g_locks.load(), g_unlocks.load()};
}

void TestManager::ResetMemoryCounts() { g_allocations = g_frees = g_locks = g_unlocks = 0; }

void TestManager::HoldReturnPath(std::chrono::microseconds hold) {
  m_gate.reset();
  if (hold.count() > 0) m_gate = std::make_unique<ReturnGate>(hold);
}

void TestManager::RefuseCallsOnceEnding() { g_refuseOnceEnding = true; }

bool TestManager::Load() {
  if (m_path.empty()) return m_entry != nullptr;
  // Unmapped at the last close, as the manager does: what the library does
  // not free at unload shows as a leak under the leak checker.
  void* library = dlopen(m_path.c_str(), RTLD_LAZY | RTLD_LOCAL);
  if (!library) return false;
  m_entry = reinterpret_cast<DSENTRYPROC>(dlsym(library, "DS_Entry"));
  if (!m_entry) {
    dlclose(library);
    return false;
  }
  m_library = library;
  ++m_loads;
  return true;
}

void TestManager::Unload() {
  if (m_path.empty() || m_loads == 0) return;
  dlclose(m_library);
  if (--m_loads == 0) {
    m_library = nullptr;
    m_entry = nullptr;
  }
}

bool TestManager::IsLibraryLoaded() const {
  if (m_path.empty()) return true;
  void* library = dlopen(m_path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!library) return false;
  dlclose(library);
  return true;
}

TW_UINT16 TestManager::Call(const TW_IDENTITY& from, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                            TW_MEMREF data) {
  TW_IDENTITY origin = from;  // a stack copy, as the manager passes it
  if (m_gate) m_gate->Arm();
  TW_UINT16 result = m_entry(&origin, DG, DAT, MSG, data);
  std::memset(&origin, 0xCD, sizeof origin);  // the source must not keep it
  if (m_gate) m_gate->WaitThrough();
  {
    std::lock_guard lock(g_mutex);
    m_lastResults[IdOf(from)] = result;
  }
  return result;
}

TW_UINT16 TestManager::ProbeIdentity(TW_IDENTITY* out) {
  if (!Load()) return TWRC_FAILURE;
  TW_IDENTITY probe{};
  probe.Id = m_nextSourceId;
  TW_IDENTITY manager{};
  TW_UINT16 result = Call(manager, DG_CONTROL, DAT_IDENTITY, MSG_GET, &probe);
  *out = probe;
  Unload();
  return result;
}

TW_UINT16 TestManager::OpenDS(TestHost& host) {
  TW_IDENTITY source{};
  if (ProbeIdentity(&source) != TWRC_SUCCESS) return TWRC_FAILURE;
  if (!Load()) return TWRC_FAILURE;
  TW_ENTRYPOINT entryPoints = EntryPoints();
  Call(host.identity, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entryPoints);
  source.Id = m_nextSourceId++;
  TW_UINT16 result = Call(host.identity, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source);
  if (result != TWRC_SUCCESS) {
    Unload();
    return result;
  }
  std::lock_guard lock(g_mutex);
  m_sources[IdOf(host.identity)] = source;
  m_hosts[IdOf(host.identity)] = &host;
  return result;
}

TW_UINT16 TestManager::CloseDS(TestHost& host) {
  // A source opened through another manager: load the library for the close.
  if (!m_entry && !Load()) return TWRC_FAILURE;
  TW_IDENTITY source = m_sources[IdOf(host.identity)];
  TW_UINT16 result = Call(host.identity, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source);
  if (result == TWRC_SUCCESS) {
    {
      std::lock_guard lock(g_mutex);
      m_sources.erase(IdOf(host.identity));
      m_hosts.erase(IdOf(host.identity));
    }
    Unload();
  }
  return result;
}

TW_UINT16 TestManager::Send(const TestHost& host, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                            TW_MEMREF data) {
  if (!m_entry) return TWRC_FAILURE;
  return Call(host.identity, DG, DAT, MSG, data);
}

TW_UINT16 TestManager::Status(const TestHost& host) {
  TW_STATUS status{0xFFFF, 0};
  if (Send(host, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return 0xFFFF;
  return status.ConditionCode;
}

std::vector<Notification> TestManager::TakeNotifications() {
  std::lock_guard lock(g_mutex);
  return std::exchange(m_notifications, {});
}

bool TestManager::WaitForNotification(TW_UINT16 MSG, std::chrono::milliseconds limit) {
  std::unique_lock lock(g_mutex);
  return g_notified.wait_for(lock, limit, [&] {
    return std::any_of(m_notifications.begin(), m_notifications.end(),
                       [&](const Notification& n) { return n.MSG == MSG; });
  });
}

TW_UINT16 TestManager::ManagerEntry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 DG,
                                    TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
  RefuseIfEnding("DSM_Entry");
  if (!origin || !dest) return TWRC_FAILURE;
  TestManager* manager = nullptr;
  TestHost* host = nullptr;
  {
    std::lock_guard lock(g_mutex);
    for (TestManager* candidate : g_managers) {
      auto it = candidate->m_hosts.find(IdOf(*dest));
      if (it == candidate->m_hosts.end()) continue;
      manager = candidate;
      host = it->second;
    }
    if (!manager && !g_managers.empty()) manager = g_managers.back();
    if (!manager) return TWRC_FAILURE;
    manager->m_notifications.push_back({IdOf(*origin), IdOf(*dest), DG, DAT, MSG, data != nullptr});
  }
  g_notified.notify_all();
  if (manager->m_notifyResult != TWRC_SUCCESS) return manager->m_notifyResult;
  if (host && host->onNotify && DG == DG_CONTROL && DAT == DAT_NULL) host->onNotify(MSG);
  return TWRC_SUCCESS;
}

namespace {

class ManagerRoute : public SourceRoute {
 public:
  ManagerRoute(const std::string& library, Notified notified, std::chrono::microseconds returnPathHold)
      : manager_(std::make_unique<TestManager>(library)) {
    host_.onNotify = std::move(notified);
    manager_->HoldReturnPath(returnPathHold);
  }
  TW_UINT16 Open() override { return manager_ ? manager_->OpenDS(host_) : TWRC_FAILURE; }
  TW_UINT16 Call(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) override {
    return manager_ ? manager_->Send(host_, DG, DAT, MSG, data) : TWRC_FAILURE;
  }
  TW_UINT16 Close() override { return manager_ ? manager_->CloseDS(host_) : TWRC_FAILURE; }
  void Unload() override { manager_.reset(); }

 private:
  std::unique_ptr<TestManager> manager_;
  TestHost host_{41};
};

class DirectRoute : public SourceRoute {
 public:
  DirectRoute(const std::string& library, Notified notified) : path_(library) { s_notified = std::move(notified); }
  ~DirectRoute() override {
    Unload();
    s_notified = nullptr;
  }
  TW_UINT16 Open() override {
    if (!library_) library_ = dlopen(path_.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!library_) return TWRC_FAILURE;
    entry_ = reinterpret_cast<DSENTRYPROC>(dlsym(library_, "DS_Entry"));
    TW_ENTRYPOINT entryPoints = TestManager::EntryPoints();
    entryPoints.DSM_Entry = &DirectRoute::Notify;
    Call(DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entryPoints);
    source_.Id = 500;
    return Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_);
  }
  TW_UINT16 Call(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) override {
    TW_IDENTITY origin = host_.identity;
    return entry_ ? entry_(&origin, DG, DAT, MSG, data) : TWRC_FAILURE;
  }
  TW_UINT16 Close() override { return Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_); }
  void Unload() override {
    if (library_) dlclose(library_);
    library_ = nullptr;
    entry_ = nullptr;
  }

 private:
  static TW_UINT16 Notify(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF) {
    if (DG == DG_CONTROL && DAT == DAT_NULL && s_notified) s_notified(MSG);
    return TWRC_SUCCESS;
  }
  static inline Notified s_notified;
  std::string path_;
  void* library_ = nullptr;
  DSENTRYPROC entry_ = nullptr;
  TestHost host_{42};
  TW_IDENTITY source_{};
};

}  // namespace

std::unique_ptr<SourceRoute> SourceRoute::ThroughManager(const std::string& library, Notified notified,
                                                         std::chrono::microseconds returnPathHold) {
  return std::make_unique<ManagerRoute>(library, std::move(notified), returnPathHold);
}

std::unique_ptr<SourceRoute> SourceRoute::Directly(const std::string& library, Notified notified) {
  return std::make_unique<DirectRoute>(library, std::move(notified));
}

}  // namespace twaintest

#pragma once
// A small TWAIN manager and host for the tests, behaving as the Linux
// manager does: entry points handed over before every open, the library
// loaded and unloaded around opens, every origin a stack copy of the host's
// identity, a host's call returning through the manager's own frame (which
// keeps the result), notifications recorded and passed to the host
// synchronously, counting memory functions. It never sends DAT_EVENT.
// Optionally its return path waits on a lock another thread holds (as a
// manager's may, on its own lock), and its functions refuse to be called
// once it has begun to end (as a manager's state is gone then).
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/twain/Twain.h"

namespace twaintest {

// A record's Id by value (the records are packed: no references into them).
TW_UINT32 IdOf(const TW_IDENTITY& identity);

struct TestHost {
  explicit TestHost(TW_UINT32 id, bool app2 = true);
  TW_IDENTITY identity{};
  // Called on the notifying thread with the notification's message.
  std::function<void(TW_UINT16)> onNotify;
};

struct Notification {
  TW_UINT32 originId;
  TW_UINT32 destId;
  TW_UINT32 DG;
  TW_UINT16 DAT;
  TW_UINT16 MSG;
  bool hasData;
};

struct MemoryCounts {
  int allocations;
  int frees;
  int locks;
  int unlocks;
};

class TestManager {
 public:
  // A data source whose entry is linked into the test.
  explicit TestManager(DSENTRYPROC entry);
  // A data source library, loaded only while needed.
  explicit TestManager(std::string libraryPath);
  ~TestManager();
  TestManager(const TestManager&) = delete;
  TestManager& operator=(const TestManager&) = delete;

  // What MSG_OPENDSM does: load, ask the identity, unload.
  TW_UINT16 ProbeIdentity(TW_IDENTITY* out);
  TW_UINT16 OpenDS(TestHost& host);
  TW_UINT16 CloseDS(TestHost& host);
  // One triplet from the host to its source.
  TW_UINT16 Send(const TestHost& host, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                 TW_MEMREF data);
  // The condition code through DG_CONTROL / DAT_STATUS / MSG_GET.
  TW_UINT16 Status(const TestHost& host);

  std::vector<Notification> TakeNotifications();
  // Waits, as a host waits for its callback, until a notification with
  // `MSG` has come (and stays to be taken); false after `limit`.
  bool WaitForNotification(TW_UINT16 MSG, std::chrono::milliseconds limit);
  void SetNotificationResult(TW_UINT16 result) { m_notifyResult = result; }
  bool IsLibraryLoaded() const;
  // From now on every call's return path, after the source's entry has
  // returned, waits on a lock another thread holds for `hold` more: the
  // host's thread lies in a futex wait inside the manager's frame. Zero
  // ends it.
  void HoldReturnPath(std::chrono::microseconds hold);
  // Once any manager has begun to end, a call of its entry or its memory
  // functions writes what was called and aborts the process.
  static void RefuseCallsOnceEnding();
  const TW_IDENTITY& SourceIdentity(const TestHost& host) { return m_sources[IdOf(host.identity)]; }

  // The entry points handed over: all four memory functions counted.
  static TW_ENTRYPOINT EntryPoints();
  static MemoryCounts Memory();
  static void ResetMemoryCounts();

 private:
  static TW_UINT16 ManagerEntry(TW_IDENTITY* origin, TW_IDENTITY* dest, TW_UINT32 DG,
                                TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data);
  void Register();
  bool Load();
  void Unload();
  TW_UINT16 Call(const TW_IDENTITY& from, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                 TW_MEMREF data);

  class ReturnGate;
  std::unique_ptr<ReturnGate> m_gate;
  DSENTRYPROC m_entry = nullptr;
  std::string m_path;
  int m_loads = 0;
  void* m_library = nullptr;
  std::map<TW_UINT32, TW_IDENTITY> m_sources;
  std::map<TW_UINT32, TestHost*> m_hosts;
  // The last return code of each host's call, kept on the way back.
  std::map<TW_UINT32, TW_UINT16> m_lastResults;
  std::vector<Notification> m_notifications;
  TW_UINT16 m_notifyResult = TWRC_SUCCESS;
  TW_UINT32 m_nextSourceId = 100;
};

// A host's way to its source in a library: through a test manager, or
// loading the library itself as its own manager. Notifications go to
// `notified`, on the thread that sends them. One direct route at a time.
class SourceRoute {
 public:
  using Notified = std::function<void(TW_UINT16 MSG)>;
  // `returnPathHold`: TestManager::HoldReturnPath.
  static std::unique_ptr<SourceRoute> ThroughManager(const std::string& library, Notified notified,
                                                     std::chrono::microseconds returnPathHold = {});
  static std::unique_ptr<SourceRoute> Directly(const std::string& library, Notified notified);
  virtual ~SourceRoute() = default;
  virtual TW_UINT16 Open() = 0;
  // One triplet from the host.
  virtual TW_UINT16 Call(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) = 0;
  virtual TW_UINT16 Close() = 0;
  // Unloads the library as the host, or its manager, does: whatever is open.
  virtual void Unload() = 0;
};

}  // namespace twaintest

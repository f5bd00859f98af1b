#pragma once
// Where each host's calls to the source are. A notification to a host goes
// out only once the host's call that raised it has come back to the host's
// own code, past the manager's frame too. The source cannot see the
// manager's frame return; it sees the calling thread once DS_Entry has
// returned: then waiting in the kernel (a host's own wait: a manager's
// return path does not block), ended, or having run for a while on its own
// processor time (far more than any return path takes). A thread preempted
// on its way back neither waits nor runs, so no scheduling can make a
// notification early.
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <set>

#include "platform/twain/Twain.h"

class CHostCalls {
 public:
  // On the calling thread: as a host's call begins, and as the last thing
  // before DS_Entry returns.
  void Enter(TW_UINT32 host);
  void Leave(TW_UINT32 host);
  // Whether no call of the host is in progress or on its way back; true for
  // a host that never called.
  bool BackInHost(TW_UINT32 host) const;
  // Forgets the hosts outside `kept` that are not in a call.
  void KeepOnly(const std::set<TW_UINT32>& kept);

 private:
  struct Caller {
    pid_t thread = 0;
    int inside = 0;
    uint64_t calls = 0;       // calls begun, to see one begin while looking
    int64_t cpuAtLeave = 0;   // the thread's processor time as it left, in ns
  };
  mutable std::mutex m_mutex;
  std::map<TW_UINT32, Caller> m_callers;
};

// Enters for its scope; leaves last.
class CHostCallScope {
 public:
  CHostCallScope(CHostCalls& calls, const TW_IDENTITY* origin)
      : m_calls(calls), m_host(origin ? origin->Id : 0), m_tracked(origin != nullptr) {
    if (m_tracked) m_calls.Enter(m_host);
  }
  ~CHostCallScope() {
    if (m_tracked) m_calls.Leave(m_host);
  }
  CHostCallScope(const CHostCallScope&) = delete;
  CHostCallScope& operator=(const CHostCallScope&) = delete;

 private:
  CHostCalls& m_calls;
  TW_UINT32 m_host;
  bool m_tracked;
};

#pragma once
// Where each host's calls to the source are, thread by thread. A
// notification to a host goes out only once every thread of the host that
// called the source is surely back in the host's own code, past the
// manager's frame too; any doubt means "not yet".
//
// The source cannot see the manager's frame return. What it can know:
//  - the thread calls the source again (it was back in between; the
//    notification then waits for the end of that call, or is that call's
//    answer when it is DAT_EVENT);
//  - the thread has ended;
//  - the frame that called DS_Entry (the manager's DSM_Entry, or the host's
//    own function for a host without a manager) has returned: as DS_Entry
//    begins, the source unwinds one frame past its caller and notes where
//    that frame keeps its return address and the address itself. While the
//    frame is live the slot keeps it (whatever the frame does: waiting on a
//    lock in its return path included); once the thread is back it pushes
//    other return addresses there with its next calls, or its stack pointer
//    lies above the frame;
//  - as a last resort, so that no notification is lost to a host that waits
//    for it without ever writing that slot: the thread has run long on its
//    own processor time since it left (a busy poller), or it has lain still
//    a long time. Both are far beyond any return path.
// None of it needs a file descriptor but the stack pointer's reading, which
// only adds a "back"; a thread stopped by a debugger is looked at with a
// slowing rhythm (DSEntry.cpp), never in a busy loop.
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <set>

#include "platform/twain/Twain.h"

// Where the frame that called DS_Entry keeps its return address; empty when
// it could not be found.
struct CallerFrame {
  uintptr_t slot = 0;       // the return address's place on the stack
  uintptr_t address = 0;    // the return address there, into the frame's caller
  uintptr_t frameTop = 0;   // the stack pointer once that frame has returned
};

// As DS_Entry begins, on the calling thread: `entryReturn` is DS_Entry's own
// return address (__builtin_return_address(0)).
CallerFrame FindCallerFrame(const void* entryReturn);

class CHostCalls {
 public:
  // On the calling thread: as a host's call begins, and as the last thing
  // before DS_Entry returns.
  void Enter(TW_UINT32 host, const CallerFrame& caller);
  void Leave(TW_UINT32 host);
  // Whether every thread that called for the host is out of its calls and
  // surely back in the host's code; true for a host that never called, and
  // for the calling thread's own calls (a notification's callback that
  // called the source has returned by the time the thread looks).
  bool BackInHost(TW_UINT32 host);
  // Whether a thread of the host is in one of its calls right now.
  bool InCall(TW_UINT32 host) const;
  // Forgets the hosts outside `kept` that are not in a call.
  void KeepOnly(const std::set<TW_UINT32>& kept);

 private:
  struct ThreadCall {
    int inside = 0;
    CallerFrame caller;       // of the outermost call in progress or last made
    bool back = false;        // seen back since its last call ended
    int64_t leftAt = 0;       // monotonic ns as the last call ended
    int64_t cpuAtLeave = 0;   // the thread's processor time then
    int64_t stillSince = 0;   // monotonic ns since which its processor time has not moved
    int64_t lastCpu = -1;
  };
  // Looks at a thread out of its calls; true once it is surely back (or gone).
  static bool LooksBack(pid_t thread, ThreadCall& call, int64_t now);

  mutable std::mutex m_mutex;
  std::map<TW_UINT32, std::map<pid_t, ThreadCall>> m_hosts;
};

// Enters for its scope; leaves last.
class CHostCallScope {
 public:
  CHostCallScope(CHostCalls& calls, const TW_IDENTITY* origin, const CallerFrame& caller)
      : m_calls(calls), m_host(origin ? origin->Id : 0), m_tracked(origin != nullptr) {
    if (m_tracked) m_calls.Enter(m_host, caller);
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

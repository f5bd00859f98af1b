#include "twain/HostCalls.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>
#include <unwind.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// Last resorts, far beyond any return path: processor time the thread has
// run on since it left, and how long it has lain still.
constexpr int64_t kBusyBackNs = 50'000'000;
constexpr int64_t kStillBackNs = 3'000'000'000;

int64_t Nanoseconds(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

int64_t Monotonic() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return Nanoseconds(now);
}

// A thread's processor time in ns; -1 once it has ended.
int64_t CpuTimeOf(pid_t thread) {
  // The kernel's clock id of a thread's processor time.
  const auto clock = static_cast<clockid_t>((~static_cast<unsigned>(thread) << 3) | 6u);
  timespec now{};
  if (clock_gettime(clock, &now) != 0) return -1;
  return Nanoseconds(now);
}

int64_t OwnCpuTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return Nanoseconds(now);
}

bool HasEnded(pid_t thread) {
  return syscall(SYS_tgkill, getpid(), thread, 0) != 0 && errno == ESRCH;
}

enum class Slot { Kept, Changed, Unknown };

// What the thread's stack holds at the caller frame's return slot.
Slot ReadSlot(const CallerFrame& caller) {
  if (!caller.slot) return Slot::Unknown;
  uintptr_t value = 0;
  iovec local{&value, sizeof value};
  iovec remote{reinterpret_cast<void*>(caller.slot), sizeof value};
  const ssize_t n = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
  if (n == static_cast<ssize_t>(sizeof value)) return value == caller.address ? Slot::Kept : Slot::Changed;
  // No longer mapped: no frame lives there.
  if (n < 0 && errno == EFAULT) return Slot::Changed;
  return Slot::Unknown;
}

// Whether the thread waits in a system call with its stack pointer above the
// caller's frame. Needs a descriptor; without one it says nothing.
bool WaitsAbove(pid_t thread, const CallerFrame& caller) {
  if (!caller.frameTop) return false;
  const std::string path = "/proc/self/task/" + std::to_string(thread) + "/syscall";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char text[256];
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return false;
  text[n] = '\0';
  // "nr a1 a2 a3 a4 a5 a6 sp pc" while in a call, "-1 sp pc" while blocked
  // outside one, "running" while it runs.
  unsigned long long words[9];
  long long nr = 0;
  int count = 0;
  if (std::sscanf(text, "%lld", &nr) != 1) return false;
  const char* p = text;
  for (count = 0; count < 9 && *p;) {
    while (*p == ' ') ++p;
    if (!*p || *p == '\n') break;
    char* end = nullptr;
    words[count] = std::strtoull(p, &end, 0);
    if (end == p) return false;
    ++count;
    p = end;
  }
  unsigned long long sp = 0;
  if (nr == -1 && count == 3)
    sp = words[1];
  else if (count == 9)
    sp = words[7];
  else
    return false;
  return sp >= caller.frameTop;
}

struct Unwinding {
  uintptr_t entryReturn;
  int frames = 0;
  bool found = false;
  uintptr_t cfa = 0;
  uintptr_t next = 0;
};

_Unwind_Reason_Code OneFrame(_Unwind_Context* context, void* argument) {
  auto* unwinding = static_cast<Unwinding*>(argument);
  const uintptr_t ip = _Unwind_GetIP(context);
  if (unwinding->found) {
    // The context of a frame holds its callee's frame top: that of the
    // caller frame is seen with the next one.
    unwinding->next = ip;
    unwinding->cfa = _Unwind_GetCFA(context);
    return _URC_END_OF_STACK;
  }
  if (ip == unwinding->entryReturn) unwinding->found = true;
  return ++unwinding->frames < 8 ? _URC_NO_REASON : _URC_END_OF_STACK;
}

}  // namespace

__attribute__((noinline)) CallerFrame FindCallerFrame(const void* entryReturn) {
  CallerFrame frame;
  Unwinding unwinding{reinterpret_cast<uintptr_t>(entryReturn)};
  _Unwind_Backtrace(&OneFrame, &unwinding);
  if (!unwinding.found || !unwinding.cfa || !unwinding.next) return frame;
  // Where x86-64 keeps the return address: right under the frame's top. On
  // a machine that keeps it elsewhere the check fails and the slot is not
  // used.
  const uintptr_t slot = unwinding.cfa - sizeof(uintptr_t);
  uintptr_t there = 0;
  std::memcpy(&there, reinterpret_cast<const void*>(slot), sizeof there);
  if (there != unwinding.next) return frame;
  frame.slot = slot;
  frame.address = there;
  frame.frameTop = unwinding.cfa;
  return frame;
}

void CHostCalls::Enter(TW_UINT32 host, const CallerFrame& caller) {
  std::lock_guard lock(m_mutex);
  ThreadCall& call = m_hosts[host][gettid()];
  if (call.inside++ == 0) call.caller = caller;
  call.back = false;
}

void CHostCalls::Leave(TW_UINT32 host) {
  const int64_t cpu = OwnCpuTime();
  const int64_t now = Monotonic();
  std::lock_guard lock(m_mutex);
  auto found = m_hosts.find(host);
  if (found == m_hosts.end()) return;
  auto thread = found->second.find(gettid());
  if (thread == found->second.end()) return;
  ThreadCall& call = thread->second;
  if (call.inside > 0) --call.inside;
  if (call.inside > 0) return;
  call.leftAt = now;
  call.cpuAtLeave = cpu;
  call.lastCpu = cpu;
  call.stillSince = now;
}

bool CHostCalls::LooksBack(pid_t thread, ThreadCall& call, int64_t now) {
  if (HasEnded(thread)) return true;
  switch (ReadSlot(call.caller)) {
    case Slot::Changed: return true;
    case Slot::Kept:
    case Slot::Unknown: break;
  }
  const int64_t cpu = CpuTimeOf(thread);
  if (cpu < 0) return true;  // ended meanwhile
  if (cpu - call.cpuAtLeave >= kBusyBackNs) return true;
  if (cpu != call.lastCpu) {
    call.lastCpu = cpu;
    call.stillSince = now;
  } else if (now - call.stillSince >= kStillBackNs) {
    return true;
  }
  return WaitsAbove(thread, call.caller);
}

bool CHostCalls::BackInHost(TW_UINT32 host) {
  const pid_t self = gettid();
  const int64_t now = Monotonic();
  std::lock_guard lock(m_mutex);
  auto found = m_hosts.find(host);
  if (found == m_hosts.end()) return true;
  std::map<pid_t, ThreadCall>& threads = found->second;
  for (auto it = threads.begin(); it != threads.end();) {
    ThreadCall& call = it->second;
    if (call.inside > 0) return false;
    if (it->first == self) {
      ++it;
      continue;
    }
    if (!call.back && !LooksBack(it->first, call, now)) return false;
    // A host that calls from ever new threads keeps only those that live.
    if (HasEnded(it->first)) {
      it = threads.erase(it);
      continue;
    }
    call.back = true;
    ++it;
  }
  return true;
}

bool CHostCalls::InCall(TW_UINT32 host) const {
  std::lock_guard lock(m_mutex);
  auto found = m_hosts.find(host);
  if (found == m_hosts.end()) return false;
  for (const auto& [thread, call] : found->second)
    if (call.inside > 0) return true;
  return false;
}

void CHostCalls::KeepOnly(const std::set<TW_UINT32>& kept) {
  std::lock_guard lock(m_mutex);
  std::erase_if(m_hosts, [&](const auto& entry) {
    if (kept.count(entry.first)) return false;
    for (const auto& [thread, call] : entry.second)
      if (call.inside > 0) return false;
    return true;
  });
}

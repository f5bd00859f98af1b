#include "twain/HostCalls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>

namespace {

// Processor time a thread runs after DS_Entry has returned before it counts
// as back in the host: a manager's return path takes microseconds.
constexpr int64_t kBackInHostCpuNs = 2'000'000;

enum class ThreadState { Gone, Waiting, Other };

// The kernel's scheduling state of a thread of this process.
ThreadState StateOf(pid_t thread) {
  const std::string path = "/proc/self/task/" + std::to_string(thread) + "/stat";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ThreadState::Gone;
  char text[512];
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return ThreadState::Gone;
  text[n] = '\0';
  // "tid (name) S ...": the name may hold anything but ends at the last ')'.
  const char* end = std::strrchr(text, ')');
  if (!end || end[1] != ' ') return ThreadState::Other;
  return end[2] == 'S' ? ThreadState::Waiting : ThreadState::Other;
}

// A thread's processor time in ns; -1 once it has ended.
int64_t CpuTimeOf(pid_t thread) {
  // The kernel's clock id of a thread's processor time.
  const auto clock = static_cast<clockid_t>((~static_cast<unsigned>(thread) << 3) | 6u);
  timespec now{};
  if (clock_gettime(clock, &now) != 0) return -1;
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int64_t OwnCpuTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace

void CHostCalls::Enter(TW_UINT32 host) {
  std::lock_guard lock(m_mutex);
  Caller& caller = m_callers[host];
  caller.thread = gettid();
  ++caller.inside;
  ++caller.calls;
}

void CHostCalls::Leave(TW_UINT32 host) {
  const int64_t cpu = OwnCpuTime();
  std::lock_guard lock(m_mutex);
  auto found = m_callers.find(host);
  if (found == m_callers.end()) return;
  Caller& caller = found->second;
  if (caller.inside > 0) --caller.inside;
  caller.thread = gettid();
  caller.cpuAtLeave = cpu;
}

bool CHostCalls::BackInHost(TW_UINT32 host) const {
  Caller caller;
  {
    std::lock_guard lock(m_mutex);
    auto found = m_callers.find(host);
    if (found == m_callers.end()) return true;
    caller = found->second;
  }
  if (caller.inside > 0) return false;
  // The serving thread's own call, made from a notification: the serving
  // thread looks only once that has returned.
  if (caller.thread == gettid()) return true;
  bool back = false;
  switch (StateOf(caller.thread)) {
    case ThreadState::Gone:
    case ThreadState::Waiting: back = true; break;
    case ThreadState::Other: {
      const int64_t cpu = CpuTimeOf(caller.thread);
      back = cpu < 0 || cpu - caller.cpuAtLeave >= kBackInHostCpuNs;
      break;
    }
  }
  // A call begun while looking: that is where the thread was waiting.
  std::lock_guard lock(m_mutex);
  auto found = m_callers.find(host);
  return back && (found == m_callers.end() || found->second.calls == caller.calls);
}

void CHostCalls::KeepOnly(const std::set<TW_UINT32>& kept) {
  std::lock_guard lock(m_mutex);
  std::erase_if(m_callers, [&](const auto& entry) { return entry.second.inside == 0 && !kept.count(entry.first); });
}

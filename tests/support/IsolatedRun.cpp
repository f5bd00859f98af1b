#include "tests/support/IsolatedRun.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/TestEnv.h"

namespace vqtest {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A value of /proc/self/status in kB; 0 when absent.
std::size_t StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  const std::string prefix = std::string(key) + ":";
  for (std::string line; std::getline(status, line);)
    if (line.rfind(prefix, 0) == 0) return std::strtoull(line.c_str() + prefix.size(), nullptr, 10);
  return 0;
}

void OnDeadline(int) {
  static const char message[] = "the isolated work did not end before its deadline\n";
  ssize_t ignored = write(STDERR_FILENO, message, sizeof message - 1);
  (void)ignored;
  _exit(kIsolatedDeadline);
}

// The child forwards no test events, so its failed expectations are
// written where the parent shows them: the child's standard error.
void PrintFailures() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!test) return;
  const ::testing::TestResult* result = test->result();
  for (int i = 0; i < result->total_part_count(); ++i) {
    const ::testing::TestPartResult& part = result->GetTestPartResult(i);
    if (part.failed())
      std::fprintf(stderr, "%s:%d: %s\n", part.file_name() ? part.file_name() : "?", part.line_number(),
                   part.message());
  }
}

[[noreturn]] void End(int code) {
  if (code == kIsolatedFailed) PrintFailures();
  std::fflush(stdout);
  // The child's own test folder (made by the test main for the child).
  detail::LeaveTestFolder(code != 0);
  std::fflush(stderr);
  std::_Exit(code);
}

}  // namespace

void RunIsolated(const std::function<void()>& setup, const std::function<void()>& work,
                 const IsolationLimits& limits) {
  struct sigaction action {};
  action.sa_handler = OnDeadline;
  sigaction(SIGALRM, &action, nullptr);
  alarm(static_cast<unsigned>(limits.deadline.count()));

  if (setup) setup();
  if (::testing::Test::HasFailure()) End(kIsolatedFailed);

  const std::size_t sizeBefore = StatusKb("VmSize"), peakBefore = StatusKb("VmPeak");
  if (!kSanitized) {
    // A safety net for the machine should the work run away: the limits
    // below are what the test checks.
    const rlim_t cap = (sizeBefore + (limits.maxVirtualGrowthMb + 4096) * 1024) * 1024;
    const rlimit limit{cap, cap};
    setrlimit(RLIMIT_AS, &limit);
  }
  // The resident peak starts again from here.
  std::ofstream("/proc/self/clear_refs") << "5";
  const std::size_t residentBefore = StatusKb("VmRSS");

  work();

  const std::size_t peakAfter = StatusKb("VmPeak"), residentPeak = StatusKb("VmHWM");
  alarm(0);
  // A new address-space peak was reached during the work only when the
  // peak moved; otherwise the work stayed below what the setup had used.
  const std::size_t virtualGrowthMb = peakAfter > peakBefore ? (peakAfter - sizeBefore) / 1024 : 0;
  const std::size_t residentGrowthMb = residentPeak > residentBefore ? (residentPeak - residentBefore) / 1024 : 0;
  if (::testing::Test::HasFailure()) End(kIsolatedFailed);
  if (virtualGrowthMb > limits.maxVirtualGrowthMb || residentGrowthMb > limits.maxResidentGrowthMb) {
    std::fprintf(stderr, "memory grew by %zu MB of address space and %zu MB resident (limits %zu and %zu)\n",
                 virtualGrowthMb, residentGrowthMb, limits.maxVirtualGrowthMb, limits.maxResidentGrowthMb);
    End(kIsolatedMemory);
  }
  End(0);
}

}  // namespace vqtest

#pragma once
// Runs part of a test in a process of its own: a GoogleTest death-test
// child, started afresh from the test binary, so that a library that
// aborts, never returns or takes all memory on hostile input ends that
// process only and the test reports it. The child watches its own memory
// peak while the work runs and ends itself when the deadline passes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <functional>

namespace vqtest {

struct IsolationLimits {
  // Generous: the work is expected to take seconds on a loaded machine.
  std::chrono::seconds deadline{240};
  // Growth of the process's address space and of its resident memory
  // while the work runs.
  std::size_t maxVirtualGrowthMb = 1024;
  std::size_t maxResidentGrowthMb = 256;
};

// Exit codes of the child besides 0 (everything held).
enum IsolatedExit { kIsolatedFailed = 1, kIsolatedMemory = 2, kIsolatedDeadline = 3 };

// In the child: runs `setup`, then `work` under the memory watch, and ends
// the process: 0 when no expectation failed and memory stayed within the
// limits, else one of IsolatedExit. A deadline that passes ends it too.
[[noreturn]] void RunIsolated(const std::function<void()>& setup, const std::function<void()>& work,
                              const IsolationLimits& limits = {});

}  // namespace vqtest

// Expects `setup` then `work` (callables) to run to their end in a process
// of their own within the limits.
#define EXPECT_ISOLATED(setup, work, ...)                                                              \
  do {                                                                                                 \
    GTEST_FLAG_SET(death_test_style, "threadsafe");                                                    \
    EXPECT_EXIT(::vqtest::RunIsolated(setup, work, ##__VA_ARGS__), ::testing::ExitedWithCode(0), ""); \
  } while (0)

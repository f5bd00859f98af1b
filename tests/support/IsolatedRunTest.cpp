// The isolated runs the hostile-input tests rely on: each way the work can
// go wrong ends the child with its own exit, and the parent sees why.
#include "tests/support/IsolatedRun.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "tests/support/TestEnv.h"

namespace {

void RunIn(const std::function<void()>& work, const vqtest::IsolationLimits& limits = {}) {
  vqtest::RunIsolated(nullptr, work, limits);
}

}  // namespace

TEST(IsolatedRun, EachWayOfGoingWrongHasItsOwnEnd) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child has a folder of its own, and removes it when all went well.
  static std::filesystem::path childFolder;
  EXPECT_EXIT(RunIn([] {
                childFolder = vqtest::TempDir();
                EXPECT_FALSE(childFolder.empty());
                EXPECT_TRUE(vqtest::WriteFile(vqtest::TempPath("note"), "x"));
              }),
              ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(RunIn([] { EXPECT_EQ(1 + 1, 3) << "a failed expectation"; }),
              ::testing::ExitedWithCode(vqtest::kIsolatedFailed), "a failed expectation");
  EXPECT_EXIT(RunIn([] { std::abort(); }), ::testing::KilledBySignal(SIGABRT), "");
  vqtest::IsolationLimits quick;
  quick.deadline = std::chrono::seconds(1);
  EXPECT_EXIT(RunIn([] { pause(); }, quick), ::testing::ExitedWithCode(vqtest::kIsolatedDeadline),
              "did not end before its deadline");
  vqtest::IsolationLimits small;
  small.maxResidentGrowthMb = 64;
  EXPECT_EXIT(RunIn(
                  [] {
                    const size_t bytes = size_t(256) << 20;
                    std::unique_ptr<char[]> block(new char[bytes]);
                    std::memset(block.get(), 1, bytes);
                    EXPECT_EQ(block[bytes - 1], 1);
                  },
                  small),
              ::testing::ExitedWithCode(vqtest::kIsolatedMemory), "memory grew");
}

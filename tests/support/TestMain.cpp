// Shared main of every test executable: each test gets a fresh temporary
// folder and an environment that points every per-user and per-machine
// location into it. The folder is removed after a passing test and kept
// (its path printed) after a failing one.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/TestEnv.h"

namespace {

class TempFolderListener : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override { vqtest::detail::EnterNewTestFolder(); }

  void OnTestEnd(const ::testing::TestInfo& info) override {
    vqtest::detail::LeaveTestFolder(info.result()->Failed() || std::getenv("VQ_KEEP_TEST_DIRS"));
  }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TempFolderListener);
  // A death test's child forwards no test events: it gets its folder here,
  // inside its parent test's, so that one goes with the other.
  if (!GTEST_FLAG_GET(internal_run_death_test).empty())
    vqtest::detail::EnterNewTestFolder(std::getenv("VQ_TEST_FOLDER"));
  return RUN_ALL_TESTS();
}

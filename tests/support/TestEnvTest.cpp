#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/TestEnv.h"

namespace {

std::filesystem::path firstDir;

TEST(TestEnv, EveryLocationPointsIntoTheTestFolder) {
  const auto& dir = vqtest::TempDir();
  ASSERT_FALSE(dir.empty());
  ASSERT_TRUE(std::filesystem::is_directory(dir));
  for (const char* var : {"HOME", "XDG_RUNTIME_DIR", "VQ_PROGRAM_DIR", "VQ_COMMON_APPDATA"}) {
    const char* value = std::getenv(var);
    ASSERT_NE(value, nullptr) << var;
    EXPECT_EQ(std::filesystem::path(value).parent_path(), dir) << var;
    EXPECT_TRUE(std::filesystem::is_directory(value)) << var;
  }
  EXPECT_STREQ(std::getenv("TZ"), "UTC");
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath("a.bin"), std::string("x\0y", 3)));
  EXPECT_EQ(vqtest::ReadFile(vqtest::TempPath("a.bin")), std::string("x\0y", 3));
  firstDir = dir;
}

// Runs after the test above in the same process: a new folder, the old one gone.
TEST(TestEnv, EachTestGetsAFreshFolder) {
  EXPECT_FALSE(std::filesystem::exists(vqtest::TempPath("a.bin")));
  if (!firstDir.empty()) {
    EXPECT_NE(firstDir, vqtest::TempDir());
    EXPECT_FALSE(std::filesystem::exists(firstDir));
  }
}

}  // namespace

// Shared main of every test executable: each test gets a fresh temporary
// folder and an environment that points every per-user and per-machine
// location into it. The folder is removed after a passing test and kept
// (its path printed) after a failing one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "tests/support/TestEnv.h"

namespace vqtest::detail {
extern std::filesystem::path currentTempDir;
}

namespace {

class TempFolderListener : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/vqtest-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::cerr << "cannot create a temporary test folder\n";
      std::abort();
    }
    std::filesystem::path dir = pattern;
    for (const char* sub : {"home", "runtime", "program", "appdata"})
      std::filesystem::create_directories(dir / sub);
    std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
    setenv("VQ_PROGRAM_DIR", (dir / "program").c_str(), 1);
    setenv("VQ_COMMON_APPDATA", (dir / "appdata").c_str(), 1);
    setenv("TZ", "UTC", 1);
    setenv("VQ_HEADLESS", "1", 1);
    unsetenv("VQ_DRIVE_D");
    unsetenv("VQ_VIRTUAL_CAMERA");
    unsetenv("VQ_VIRTUAL_AUDIO");
    vqtest::detail::currentTempDir = dir;
  }

  void OnTestEnd(const ::testing::TestInfo& info) override {
    const auto& dir = vqtest::detail::currentTempDir;
    if (dir.empty()) return;
    if (info.result()->Failed() || std::getenv("VQ_KEEP_TEST_DIRS")) {
      std::cerr << "test files kept in " << dir << "\n";
    } else {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    }
    vqtest::detail::currentTempDir.clear();
  }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TempFolderListener);
  return RUN_ALL_TESTS();
}

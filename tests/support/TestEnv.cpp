#include "tests/support/TestEnv.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>

namespace vqtest {

namespace detail {

std::filesystem::path currentTempDir;

void EnterNewTestFolder(const char* within) {
  const char* base = within && *within ? within : std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vqtest-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::cerr << "cannot create a temporary test folder\n";
    std::abort();
  }
  std::filesystem::path dir = pattern;
  for (const char* sub : {"home", "runtime", "program", "appdata"}) std::filesystem::create_directories(dir / sub);
  std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
  setenv("HOME", (dir / "home").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
  setenv("VQ_PROGRAM_DIR", (dir / "program").c_str(), 1);
  setenv("VQ_COMMON_APPDATA", (dir / "appdata").c_str(), 1);
  setenv("TZ", "UTC", 1);
  setenv("VQ_HEADLESS", "1", 1);
  setenv("VQ_TEST_FOLDER", dir.c_str(), 1);
  unsetenv("VQ_DRIVE_D");
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("VQ_VIRTUAL_CAMERA");
  unsetenv("VQ_VIRTUAL_AUDIO");
  currentTempDir = dir;
}

void LeaveTestFolder(bool keep) {
  if (currentTempDir.empty()) return;
  if (keep) {
    std::cerr << "test files kept in " << currentTempDir << "\n";
  } else {
    std::error_code ec;
    std::filesystem::remove_all(currentTempDir, ec);
  }
  currentTempDir.clear();
}

}  // namespace detail

const std::filesystem::path& TempDir() { return detail::currentTempDir; }

std::filesystem::path TempPath(const std::string& name) { return detail::currentTempDir / name; }

std::filesystem::path SourceDir() {
  if (const char* dir = std::getenv("VQ_TEST_SOURCE_DIR"); dir && *dir) return dir;
#ifdef VQ_SOURCE_DIR
  return VQ_SOURCE_DIR;
#else
  return std::filesystem::current_path();
#endif
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace vqtest

#include "tests/support/TestEnv.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vqtest {

namespace detail {
std::filesystem::path currentTempDir;
}

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

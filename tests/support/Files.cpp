#include "tests/support/Files.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>

#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;

namespace vqtest {

std::vector<fs::path> FilesMatching(const fs::path& folder, const std::string& pattern, bool recursive) {
  const std::regex wanted(pattern.empty() ? ".*" : pattern);
  std::vector<fs::path> found;
  std::error_code error;
  const auto check = [&](const fs::directory_entry& entry) {
    if (std::regex_match(entry.path().filename().string(), wanted)) found.push_back(entry.path());
  };
  if (recursive)
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) check(*it);
  else
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) check(*it);
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::string> NamesIn(const fs::path& folder, const std::string& pattern) {
  std::vector<std::string> names;
  for (const fs::path& path : FilesMatching(folder, pattern)) names.push_back(path.filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void UseStandInOpener(const fs::path& bin) {
  fs::create_directories(bin);
  WriteFile(bin / "xdg-open", "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/opened\"\n");
  fs::permissions(bin / "xdg-open", fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  setenv("PATH", (bin.string() + ":" + std::getenv("PATH")).c_str(), 1);
}

std::vector<std::string> LinesOf(const fs::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace vqtest

#include "imaging/WorkFiles.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <regex>

namespace vq {

namespace {

constexpr std::size_t kLongestStem = 96;

std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  char text[64];
  std::snprintf(text, sizeof text, "%d-%x-%llx", static_cast<int>(getpid()), counter.fetch_add(1),
                static_cast<unsigned long long>(ticks) & 0xFFFFFFull);
  return text;
}

bool ProcessRuns(long pid) {
  if (pid <= 0 || pid != static_cast<pid_t>(pid)) return false;
  // EPERM: it runs, under another user.
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

std::string WorkFileNameBeside(const std::string& target) {
  const std::size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  const std::string extension = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
  std::string stem = name.substr(0, std::min(name.size(), kLongestStem));
  // Never cut a UTF-8 character in two.
  while (!stem.empty() && stem.size() < name.size() && (static_cast<unsigned char>(name[stem.size()]) & 0xC0) == 0x80)
    stem.pop_back();
  return folder + "." + stem + "." + UniqueSuffix() + ".tmp" + extension;
}

bool IsLeftoverWorkFile(const std::string& name) {
  static const std::regex pattern(R"(^\..*\.([0-9]{1,9})-[0-9a-f]+-[0-9a-f]+\.tmp(\.[^./]*)?$)");
  std::smatch match;
  if (!std::regex_match(name, match, pattern)) return false;
  return !ProcessRuns(std::stol(match[1].str()));
}

int RemoveLeftoverWorkFiles(const std::string& folder) {
  if (folder.empty()) return 0;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return 0;
  const std::string prefix = folder.back() == '/' ? folder : folder + "/";
  int removed = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] != '.' || !IsLeftoverWorkFile(name)) continue;
    // Only plain files: a link or folder of that shape is not ours.
    struct stat st {};
    const std::string path = prefix + name;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(path.c_str()) == 0) ++removed;
  }
  closedir(dir);
  return removed;
}

std::string RecordingNameBeside(const std::string& target) {
  const std::size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  const std::string hidden = "." + name + "." + std::to_string(getpid()) + ".recording";
  if (name.empty() || hidden.size() > NAME_MAX) return std::string();
  return folder + hidden;
}

bool IsLeftoverRecording(const std::string& name, std::string* target) {
  static const std::regex pattern(R"(^\.(.+)\.([0-9]{1,9})\.recording$)");
  std::smatch match;
  if (!std::regex_match(name, match, pattern) || ProcessRuns(std::stol(match[2].str()))) return false;
  *target = match[1].str();
  return true;
}

}  // namespace vq

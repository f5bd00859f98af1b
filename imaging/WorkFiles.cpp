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
#include <fstream>
#include <regex>
#include <sstream>

namespace vq {

namespace {

constexpr std::size_t kLongestStem = 96;

// When a process started (clock ticks since boot, /proc/<pid>/stat); 0
// when that cannot be read.
unsigned long long StartOf(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  const std::size_t end = line.rfind(')');  // the command name may hold anything
  if (end == std::string::npos) return 0;
  std::istringstream fields(line.substr(end + 1));
  std::string field;
  // After the name: state is field 3, the start time field 22.
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) return std::strtoull(field.c_str(), nullptr, 10);
  return 0;
}

// Names what wrote a file: the process id and when that process started,
// so a later process given the same id (one in a process namespace of its
// own gets the same id at every start) is told apart.
std::string WriterTag() {
  // Read once per process: a forked child is a writer of its own.
  static std::atomic<pid_t> owner{0};
  static std::atomic<unsigned long long> start{0};
  const pid_t self = getpid();
  if (owner.load() != self) {
    start = StartOf(self);
    owner = self;
  }
  return std::to_string(self) + "-s" + std::to_string(start.load());
}

std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  const std::string writer = WriterTag();
  const std::size_t dash = writer.find('-');
  char text[64];
  std::snprintf(text, sizeof text, "%s-%x-%llx%s", writer.substr(0, dash).c_str(), counter.fetch_add(1),
                static_cast<unsigned long long>(ticks) & 0xFFFFFFull, writer.substr(dash).c_str());
  return text;
}

// Whether the writer named by a file still runs. `start` is empty for names
// written before they carried the start; a start that cannot be read counts
// as running, so nothing a live writer holds is taken.
bool WriterRuns(long pid, const std::string& start) {
  if (pid <= 0 || pid != static_cast<pid_t>(pid)) return false;
  // EPERM: it runs, under another user.
  if (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
  if (start.empty()) return true;
  const unsigned long long now = StartOf(pid);
  return now == 0 || std::to_string(now) == start;
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
  static const std::regex pattern(R"(^\..*\.([0-9]{1,9})-[0-9a-f]+-[0-9a-f]+(?:-s([0-9]{1,20}))?\.tmp(\.[^./]*)?$)");
  std::smatch match;
  if (!std::regex_match(name, match, pattern)) return false;
  return !WriterRuns(std::stol(match[1].str()), match[2].str());
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
  const std::string hidden = "." + name + "." + WriterTag() + ".recording";
  if (name.empty() || hidden.size() > NAME_MAX) return std::string();
  return folder + hidden;
}

bool IsLeftoverRecording(const std::string& name, std::string* target) {
  static const std::regex pattern(R"(^\.(.+)\.([0-9]{1,9})(?:-s([0-9]{1,20}))?\.recording$)");
  std::smatch match;
  if (!std::regex_match(name, match, pattern) || WriterRuns(std::stol(match[2].str()), match[3].str()))
    return false;
  *target = match[1].str();
  return true;
}

}  // namespace vq

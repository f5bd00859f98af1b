#include "tests/support/ThreadTimes.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <opencv2/core/utility.hpp>

namespace vqtest {

int ThreadCount() {
  int count = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end; it.increment(error))
    ++count;
  return count;
}

void StartOpenCvWorkers() {
  // Stripes that last keep every worker busy at once, so all of them start.
  cv::parallel_for_(cv::Range(0, 4 * cv::getNumThreads()),
                    [](const cv::Range&) { std::this_thread::sleep_for(std::chrono::milliseconds(20)); });
}

std::string ThreadNames() {
  std::string names;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::string name;
    std::getline(std::ifstream(task.path() / "comm"), name);
    names += name + " ";
  }
  return names;
}

ThreadCpu::ThreadCpu(const std::string& name) {
  // A thread names itself once it runs, maybe a moment after it was started.
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (std::chrono::steady_clock::now() < end) {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      std::ifstream comm(task.path() / "comm");
      std::string line;
      if (std::getline(comm, line) && line == name) {
        fd_ = open((task.path() / "stat").c_str(), O_RDONLY | O_CLOEXEC);
        return;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

ThreadCpu::~ThreadCpu() {
  if (fd_ >= 0) close(fd_);
}

long ThreadCpu::Ticks() const {
  char text[1024];
  const ssize_t n = fd_ >= 0 ? pread(fd_, text, sizeof text - 1, 0) : -1;
  if (n <= 0) return -1;
  text[n] = '\0';
  // The fields after the name, which may hold spaces: state is the first,
  // user time the twelfth, system time the thirteenth. Parsed without
  // streams: callers read this while the process has no descriptor left,
  // where a sanitizer's checks of stream objects misfire.
  const char* cursor = std::strrchr(text, ')');
  if (!cursor) return -1;
  ++cursor;
  long user = -1, system = -1;
  for (int i = 1; i <= 13; ++i) {
    while (*cursor == ' ') ++cursor;
    if (!*cursor) break;
    char* end = nullptr;
    const long value = std::strtol(cursor, &end, 10);
    if (i == 12) user = end != cursor ? value : -1;
    if (i == 13) system = end != cursor ? value : -1;
    while (*cursor && *cursor != ' ') ++cursor;
  }
  return user < 0 || system < 0 ? -1 : user + system;
}

long ThreadCpu::Milliseconds() const {
  const long ticks = Ticks();
  return ticks < 0 ? -1 : ticks * 1000 / sysconf(_SC_CLK_TCK);
}

}  // namespace vqtest

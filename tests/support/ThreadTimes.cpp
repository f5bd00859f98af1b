#include "tests/support/ThreadTimes.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace vqtest {

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
  const std::string stat(text, size_t(n));
  // The fields after the name, which may hold spaces: state is the first,
  // user time the twelfth, system time the thirteenth.
  std::istringstream fields(stat.substr(stat.rfind(')') + 1));
  std::string field;
  long user = -1, system = -1;
  for (int i = 1; fields >> field && i <= 13; ++i) {
    if (i == 12) user = std::stol(field);
    if (i == 13) system = std::stol(field);
  }
  return user < 0 || system < 0 ? -1 : user + system;
}

long ThreadCpu::Milliseconds() const {
  const long ticks = Ticks();
  return ticks < 0 ? -1 : ticks * 1000 / sysconf(_SC_CLK_TCK);
}

}  // namespace vqtest

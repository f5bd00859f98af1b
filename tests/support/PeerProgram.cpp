#include "tests/support/PeerProgram.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "platform/win/TestInput.h"
#include "tests/support/TestEnv.h"

extern char** environ;

namespace vqtest {

PeerProgram::PeerProgram(const std::string& title, std::vector<std::string> options) {
  static int count = 0;
  log_ = TempPath("peer-" + std::to_string(++count) + ".log");
  std::vector<std::string> args = {VQ_WINDOW_PEER, "--title", title, "--log", log_.string()};
  args.insert(args.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, VQ_WINDOW_PEER, nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  started_ = pid_;
}

PeerProgram::~PeerProgram() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  WaitForExit();
}

std::vector<std::string> PeerProgram::Lines() const {
  std::vector<std::string> lines;
  std::ifstream in(log_);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool PeerProgram::Recorded(const std::string& line) const {
  std::vector<std::string> lines = Lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool PeerProgram::WaitFor(const std::string& line, std::chrono::milliseconds limit) const {
  return WaitUntil([&](const std::vector<std::string>& lines) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }, limit);
}

bool PeerProgram::WaitUntil(const std::function<bool(const std::vector<std::string>&)>& done,
                            std::chrono::milliseconds limit) const {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!done(Lines())) {
    if (std::chrono::steady_clock::now() > end) return false;
    vqplatform::PumpMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void PeerProgram::Kill() {
  if (pid_ > 0) kill(pid_, SIGKILL);
  WaitForExit();
}

int PeerProgram::WaitForExit() {
  int status = -1;
  if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vqtest

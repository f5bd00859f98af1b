#include "tests/support/PeerProgram.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>

#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Windows.h"

namespace vqtest {

PeerProgram::PeerProgram(const std::string& title, std::vector<std::string> options) {
  static int count = 0;
  log_ = TempPath("peer-" + std::to_string(++count) + ".log");
  std::vector<std::string> args = {VQ_WINDOW_PEER, "--title", title, "--log", log_.string()};
  args.insert(args.end(), options.begin(), options.end());
  started_ = pid_ = Spawn(args);
}

PeerProgram::~PeerProgram() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  WaitForExit();
}

std::vector<std::string> PeerProgram::Lines() const { return LinesOf(log_); }

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
  return Pump([&] { return done(Lines()); }, limit);
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

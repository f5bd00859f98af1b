#pragma once
// Runs the test peer program (tests/support/WindowPeer.cpp) as an outside
// program with a window titled `title`, in the test's environment, and
// reads what it records.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vqtest {

class PeerProgram {
 public:
  // `options` are the peer's options after --title and --log.
  PeerProgram(const std::string& title, std::vector<std::string> options = {});
  ~PeerProgram();  // ends it (SIGTERM) unless it has ended
  PeerProgram(const PeerProgram&) = delete;
  PeerProgram& operator=(const PeerProgram&) = delete;

  // Waits, serving the calling thread's messages, until the peer has
  // recorded `line`; false after the time limit.
  bool WaitFor(const std::string& line, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
  // The same until its record as a whole satisfies `done`.
  bool WaitUntil(const std::function<bool(const std::vector<std::string>&)>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
  bool Recorded(const std::string& line) const;
  std::vector<std::string> Lines() const;
  // Ends it at once (its socket stays behind) or waits for it to end.
  void Kill();
  int WaitForExit();
  // Its process id (kept after it ended), which names its socket.
  pid_t Pid() const { return started_; }

 private:
  std::filesystem::path log_;
  pid_t pid_ = -1;
  pid_t started_ = -1;
};

}  // namespace vqtest

#pragma once
// The threads of this process, read from /proc: how many there are, their
// names, and the processor time one of them has used (for tests that show a
// thread stays idle).
#include <string>

namespace vqtest {

int ThreadCount();
// Starts every worker of OpenCV's pool, which belongs to the process and
// stays: thread counts taken afterwards do not change by its start.
void StartOpenCvWorkers();
// Their names, each followed by a space.
std::string ThreadNames();

class ThreadCpu {
 public:
  // The first thread of this process with that name (see
  // pthread_setname_np), waiting a while for one that is starting.
  explicit ThreadCpu(const std::string& name);
  ~ThreadCpu();
  ThreadCpu(const ThreadCpu&) = delete;
  ThreadCpu& operator=(const ThreadCpu&) = delete;

  bool Found() const { return fd_ >= 0; }
  // User and system time in clock ticks, -1 when unknown. Reads through a
  // descriptor opened beforehand, so it works while descriptors run out.
  long Ticks() const;
  // The same in milliseconds.
  long Milliseconds() const;

 private:
  int fd_ = -1;
};

}  // namespace vqtest

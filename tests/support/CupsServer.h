#pragma once
// A private CUPS scheduler for tests: cupsd with its own configuration,
// spool and socket inside the test's folder, and queues whose output is a
// PDF file. While it runs, libcups and the CUPS commands started by the
// test talk to it and to nothing else.
#include <sys/types.h>

#include <functional>
#include <map>
#include <string>

namespace vqtest {

class CupsServer {
 public:
  CupsServer();  // starts cupsd; Running() tells whether it did
  ~CupsServer();
  CupsServer(const CupsServer&) = delete;
  CupsServer& operator=(const CupsServer&) = delete;

  bool Running() const { return pid_ > 0; }
  // Why it is not running.
  const std::string& Problem() const { return problem_; }

  // Two queues on the PDF driver tests/support/pdf-queue.ppd, "VQ_LETTER"
  // (Letter, 300 dpi) and "VQ_A4" (A4, 600 dpi), both with Letter and A4
  // media (margins below) and 150, 300 and 600 dpi: pdftopdf fits documents
  // to the medium, the output of the last job lands in OutputOf(queue).
  bool AddLetterAndA4Queues();
  std::string OutputOf(const std::string& name) const;
  // A CUPS command (lpoptions, cupsreject, ...) against this server; true
  // when it exits with 0.
  bool Command(const std::string& commandLine) const;

  // Waits until the job has finished; true when it completed.
  bool WaitForJob(int job) const;
  // The job's attributes, each value as ippAttributeString gives it.
  std::map<std::string, std::string> JobAttributes(int job) const;

  // The queues' margins in points, as the driver gives them.
  static constexpr double kLeftPt = 18, kRightPt = 36, kTopPt = 54, kBottomPt = 36;

 private:
  std::string root_;
  std::string socket_;
  std::string problem_;
  pid_t pid_ = -1;
};

// Runs `body` on a thread of its own and waits for it. libcups keeps the
// home folder and server root of its first call in each thread, so printing
// that must see this test's saved options runs there, whatever tests ran
// before in the same process.
void OnFreshThread(const std::function<void()>& body);

}  // namespace vqtest

// Skips the test, naming the reason, when the private cupsd did not start.
#define VQ_SKIP_WITHOUT_CUPS(server) \
  if (!(server).Running()) GTEST_SKIP() << "no private CUPS server: " << (server).Problem()

#pragma once
// Other processes for the tests: programs started with an environment of
// the test's choice, waited for with the common patience, and shell
// commands whose output is read.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/TestEnv.h"

namespace vqtest {

struct SpawnOptions {
  // Variables set for the program, over this process's environment.
  std::map<std::string, std::string> set;
  // Variables left out: those whose names start so.
  std::vector<std::string> without;
  // Where its standard error goes (and its output, with `outputToo`).
  std::string errorLog;
  bool outputToo = false;
  // A descriptor of this process the program gets as its descriptor 3.
  int descriptor3 = -1;
};

// Starts a program (looked up on PATH unless the name holds a slash); its
// id, -1 when it could not be started.
pid_t Spawn(const std::vector<std::string>& argv, const SpawnOptions& options = {});
// Runs `work` in a copy of this process made by fork, which ends with the
// code `work` returns; the copy's id. Only this thread lives on in the copy:
// `work` takes no lock another thread may hold.
pid_t RunInChild(const std::function<int()>& work);
// The raw wait status once the process has ended; -1 when it did not end
// within the limit (it is killed then).
int WaitForEnd(pid_t pid, std::chrono::milliseconds limit = kPatience);
// Whether the process has ended, its wait status in *status then.
bool HasEnded(pid_t pid, int* status = nullptr);
// A wait status as a shell reports it: the exit code, 128 + the signal, -1.
int ExitCode(int status);
// The id of a process that has ended and was reaped.
pid_t EndedProcess();
// Runs a command through the shell: its exit code (-1 when it did not
// exit); what it wrote to its standard output into *output when given.
int RunShell(const std::string& command, std::string* output = nullptr);
// The current test again, alone, in a new process of this test program:
// its exit code.
int RunCurrentTestAgain(const SpawnOptions& options);

}  // namespace vqtest

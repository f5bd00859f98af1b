#include "tests/support/Processes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "tests/support/Waiting.h"

extern char** environ;

namespace vqtest {

pid_t Spawn(const std::vector<std::string>& argv, const SpawnOptions& options) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e, name = entry.substr(0, entry.find('='));
    bool dropped = options.set.count(name) > 0;
    for (const std::string& prefix : options.without) dropped = dropped || name.rfind(prefix, 0) == 0;
    if (!dropped) env.push_back(entry);
  }
  for (const auto& [name, value] : options.set) env.push_back(name + "=" + value);
  std::vector<std::string> args = argv;
  std::vector<char*> envp, argp;
  for (std::string& e : env) envp.push_back(e.data());
  for (std::string& a : args) argp.push_back(a.data());
  envp.push_back(nullptr);
  argp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.descriptor3 >= 0) posix_spawn_file_actions_adddup2(&actions, options.descriptor3, 3);
  if (!options.errorLog.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, options.errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (options.outputToo) posix_spawn_file_actions_adddup2(&actions, 2, 1);
  }
  pid_t pid = -1;
  if (posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

pid_t RunInChild(const std::function<int()>& work) {
  const pid_t child = fork();
  if (child == 0) _exit(work());
  return child;
}

bool HasEnded(pid_t pid, int* status) {
  int ignored = 0;
  return waitpid(pid, status ? status : &ignored, WNOHANG) == pid;
}

int WaitForEnd(pid_t pid, std::chrono::milliseconds limit) {
  int status = 0;
  if (WaitFor([&] { return HasEnded(pid, &status); }, limit)) return status;
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

int ExitCode(int status) {
  if (status == -1) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

pid_t EndedProcess() {
  const pid_t child = RunInChild([] { return 0; });
  waitpid(child, nullptr, 0);
  return child;
}

int RunShell(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    if (output) output->append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunCurrentTestAgain(const SpawnOptions& options) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const pid_t child = Spawn(
      {"/proc/self/exe", std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name()}, options);
  // As long as it takes: the run as a whole is under the test's own limit.
  int status = -1;
  if (child > 0) waitpid(child, &status, 0);
  return ExitCode(status);
}

}  // namespace vqtest

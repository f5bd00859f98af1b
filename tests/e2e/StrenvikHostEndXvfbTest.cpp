// Hosts that end while their source is open, each in a process of its own
// through the real libStrenvik.so under Xvfb: after an enable, in states 4
// (a finished scan), 5 (the camera window shown), 6 (a page announced) and 7
// (a page transferred natively, or a memory transfer with one strip taken),
// the host exits, or unloads the library and exits, or returns from main,
// directly and through the manager, whose functions may not be called once
// it has begun to end. Each ends with status 0, without a sanitizer's
// report, and leaves the settings file as closing the source first leaves
// it; and the library registers no exit handler after its first open, so
// nothing it uses goes before its end. After an unload, the host's
// process-wide handlers are its own again. A child the host forks in any of
// those states ends at once with its exit.
#include <fstream>
#include <sstream>

#include "tests/support/Processes.h"
#include "tests/support/Waiting.h"

#include "tests/e2e/StrenvikXvfbFixture.h"

namespace {

using namespace strenviktest;

class StrenvikHostEnd : public StrenvikXvfb, public ::testing::WithParamInterface<std::string> {
 protected:
  struct Ending {
    int status = -1;
    std::string out, err, settings;
  };
  void SetUp() override {
    StrenvikXvfb::SetUp();
    settingsFile = vq::WideToUtf8(vq::MachineDataFolder()) + "/TwainPara0101.ini";
    initialSettings = vqtest::ReadFile(settingsFile);
  }
  // The ending host run from the settings the fixture wrote.
  Ending Run(const char* route, const char* end) {
    vqtest::WriteFile(settingsFile, initialSettings);
    const std::string name = std::string(route) + "-" + end;
    const std::string out = vqtest::TempPath(name + ".out").string(), err = vqtest::TempPath(name + ".err").string();
    Ending ending;
    const pid_t host = vqtest::Spawn({"/bin/sh", "-c",
                                      std::string("exec " STRENVIK_ENDING_HOST " " STRENVIK_LIBRARY_PATH " ") + route +
                                          " " + GetParam() + " " + end + " >'" + out + "' 2>'" +
                                          err + "'"});
    int status = 0;
    // A host that does not end is a failure with its threads' stacks.
    std::string stacks;
    if (vqtest::WaitFor([&] { return vqtest::HasEnded(host, &status); })) {
      ending.status = vqtest::ExitCode(status);
    } else {
      vqtest::RunShell("gdb -batch -p " + std::to_string(host) + " -ex 'thread apply all bt' 2>&1", &stacks);
      vqtest::WaitForEnd(host, std::chrono::milliseconds(0));
    }
    ending.out = vqtest::ReadFile(out);
    ending.err = vqtest::ReadFile(err) + stacks;
    ending.settings = vqtest::ReadFile(settingsFile);
    return ending;
  }
  std::string settingsFile, initialSettings;
};

TEST_P(StrenvikHostEnd, ExitAndUnloadEndTheSourceAsACloseWould) {
  const Ending closed = Run("direct", "close");
  ASSERT_EQ(closed.status, 0) << closed.out << closed.err;
  ASSERT_NE(closed.settings.find("JPGQuality=77"), std::string::npos) << "the window kept the host's quality";
  const std::string unloaded = "after the unload: library gone, X handlers the host's\n";
  EXPECT_NE(closed.out.find(unloaded), std::string::npos) << closed.out;
  for (const char* route : {"direct", "manager"}) {
    for (const char* end : {"exit", "unload", "return"}) {
      SCOPED_TRACE(std::string(route) + " " + end);
      const Ending ending = Run(route, end);
      EXPECT_EQ(ending.status, 0) << ending.out << ending.err;
      EXPECT_NE(ending.out.find("state " + std::to_string(std::stoi(GetParam())) + "\n"), std::string::npos)
          << ending.out;
      EXPECT_NE(ending.out.find("after its first open: 0\n"), std::string::npos) << ending.out;
      EXPECT_EQ(ending.err.find("Sanitizer"), std::string::npos) << ending.err;
      EXPECT_EQ(ending.err.find("runtime error"), std::string::npos) << ending.err;
      EXPECT_EQ(ending.settings, closed.settings) << "what a close writes";
      // A thread of the source still ran: the library may stay loaded, never gone with its handlers set.
      EXPECT_EQ(ending.out.find("gone, X handlers the library's"), std::string::npos) << ending.out;
    }
  }
}

TEST_P(StrenvikHostEnd, AForkedChildsExitReturns) {
  const Ending ending = Run("manager", "fork");
  EXPECT_EQ(ending.status, 0) << ending.out << ending.err;
  EXPECT_NE(ending.out.find("forked child: ended with 0\n"), std::string::npos) << ending.out << ending.err;
  EXPECT_EQ(ending.err.find("Sanitizer"), std::string::npos) << ending.err;
}

INSTANTIATE_TEST_SUITE_P(States, StrenvikHostEnd, ::testing::Values("4", "5", "6", "7", "7m"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return "State" + (info.param == "7m" ? std::string("7MemoryInProgress") : info.param);
                         });

}  // namespace

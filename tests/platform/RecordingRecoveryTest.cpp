// Recordings cut short: a recording lies under a hidden name until it is
// complete; what a writer killed mid-way left is written complete under the
// recording's name at the next look, or, holding nothing readable, kept
// under a name that says it was cut short. A recording still being written
// is left alone.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/WorkFiles.h"
#include "platform/dshow/AsfRecovery.h"
#include "tests/support/Files.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 120;

// Records `frames` pictures into `target` in a program that is killed
// before it finishes; its id, -1 when it could not be started.
pid_t RecordAndBeKilled(const fs::path& target, int frames) {
  return vqtest::Spawn({VQ_KILLED_RECORDER, target.string(), std::to_string(frames)});
}

using vqtest::NamesIn;

TEST(RecordingRecovery, KilledRecordingsAreFinishedUnderTheirNameOrKeptAsCutShort) {
  const fs::path folder = vqtest::TempPath("录像");
  fs::create_directories(folder);
  // Killed mid-way: twice, the second under a name taken since.
  for (const char* name : {"IMG00007.asf", "视频.asf"}) {
    const int status = vqtest::WaitForEnd(RecordAndBeKilled(folder / name, kFrames));
    ASSERT_EQ(vqtest::ExitCode(status), 128 + SIGKILL) << status;
    EXPECT_FALSE(fs::exists(folder / name)) << "nothing under its name while unfinished";
  }
  ASSERT_TRUE(vqtest::WriteFile(folder / "视频.asf", "a file made since"));
  // Killed before anything but part of its header reached the disk.
  vqtest::WaitForEnd(RecordAndBeKilled(folder / "early.asf", 0));
  // Still being written by this program.
  const std::string live = vq::RecordingNameBeside((folder / "live.asf").string());
  ASSERT_TRUE(vqtest::WriteFile(live, "recording"));

  EXPECT_EQ(vq::dshow::SettleCutShortRecordings(folder.string()), 3);
  EXPECT_EQ(NamesIn(folder), (std::vector<std::string>{fs::path(live).filename().string(), "IMG00007.asf",
                                                     "early.cut-short.asf", "视频.asf", "视频_1.asf"}));
  for (const char* name : {"IMG00007.asf", "视频_1.asf"}) {
    // Read as a whole, with every picture that reached the disk.
    const vqtest::MediaFile file = vqtest::ReadMediaFile((folder / name).string());
    ASSERT_TRUE(file.readable) << name;
    ASSERT_NE(file.Video(), nullptr) << name;
    EXPECT_EQ(file.Video()->codec, "wmv2");
    EXPECT_GE(file.Video()->packets, 1) << name;
    EXPECT_LE(file.Video()->packets, kFrames) << name;
    EXPECT_GT(file.seconds, 0) << name;
    EXPECT_FALSE(vqtest::DecodeVideoFrames((folder / name).string(), 1).empty()) << name;
  }
  EXPECT_EQ(vqtest::ReadFile(folder / "视频.asf"), "a file made since");
  // Nothing more to settle.
  EXPECT_EQ(vq::dshow::SettleCutShortRecordings(folder.string()), 0);
}

// Every start in a process namespace of its own gets the same process id:
// a recording killed in one is still finished at the next start.
TEST(RecordingRecovery, KilledRecordingIsFinishedByALaterStartThatGotTheSameProcessId) {
  if (vqtest::WaitForEnd(vqtest::Spawn({"unshare", "--pid", "--fork", "--mount-proc", "true"})) != 0)
    GTEST_SKIP() << "no process namespaces here";
  const fs::path folder = vqtest::TempPath("命名空间");
  fs::create_directories(folder);
  // The namespace's first process is a shell (its init ignores a kill from
  // inside), the recorder its child: process id 2 every time.
  const auto inNamespace = [](std::vector<std::string> command) {
    command.insert(command.begin(), {"unshare", "--pid", "--fork", "--mount-proc", "sh", "-c", "\"$0\" \"$@\"; exit $?",
                                     VQ_KILLED_RECORDER});
    return vqtest::WaitForEnd(vqtest::Spawn(command));
  };
  inNamespace({(folder / "IMG00001.asf").string(), std::to_string(kFrames)});
  ASSERT_EQ(NamesIn(folder).size(), 1u) << "the hidden recording";
  EXPECT_EQ(vqtest::ExitCode(inNamespace({"--settle", folder.string()})), 1);
  EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"IMG00001.asf"});
  EXPECT_TRUE(vqtest::ReadMediaFile((folder / "IMG00001.asf").string()).readable);
}

}  // namespace

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
#include "platform/dshow/AsfMuxer.h"
#include "platform/dshow/AsfRecovery.h"
#include "base/PathEncoding.h"
#include "tests/platform/RecordingTestSupport.h"
#include "tests/support/Files.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 120;

// Records `frames` pictures into `target` in a child process that is then
// killed before it finishes; the child's id.
pid_t RecordAndBeKilled(const fs::path& target, int frames) {
  return vqtest::RunInChild([&] {
    vq::dshow::AsfMuxer muxer;
    const vq::dshow::AsfVideoFormat f = vqtest::VideoFormat(320, 240, MEDIASUBTYPE_RGB32, 1000000, 462500);
    if (muxer.AddVideo(f) != S_OK || muxer.Open(vq::FromFsPath(target)) != S_OK) return 1;
    std::vector<BYTE> bits(320 * 240 * 4);
    for (int i = 0; i < frames; ++i) {
      for (size_t p = 0; p < bits.size(); ++p) bits[p] = BYTE((p / 4 + size_t(i) * 7) % 251);
      if (muxer.WriteVideo(bits.data(), long(bits.size()), REFERENCE_TIME(i) * f.frameTime) != S_OK) return 2;
    }
    raise(SIGKILL);
    return 3;
  });
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

}  // namespace

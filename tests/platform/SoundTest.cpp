#include "platform/win/Sound.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/win/Encoding.h"
#include "platform/win/Singletons.h"
#include "platform/win/WaveFile.h"
#include "tests/support/TestEnv.h"

namespace {

namespace fs = std::filesystem;
using vqplatform::SoundEnd;

const DWORD kAsync = SND_FILENAME | SND_ASYNC;
const DWORD kSync = SND_FILENAME | SND_SYNC;

// A silent sound of the given length written into a folder of the test.
fs::path WriteSound(const std::string& where, double seconds, int bits = 8, int channels = 1) {
  vqplatform::WaveSound sound;
  sound.channels = channels;
  sound.samplesPerSecond = 8000;
  sound.bitsPerSample = bits;
  sound.samples.assign(size_t(seconds * 8000) * size_t(sound.BytesPerFrame()), bits == 8 ? 0x80 : 0);
  const fs::path path = vqtest::TempPath(where);
  fs::create_directories(path.parent_path());
  EXPECT_TRUE(vqplatform::WriteWaveFile(path.string(), sound));
  return path;
}

std::wstring Wide(const fs::path& path) { return vq::Utf8ToWide(path.string()); }

// Waits until the newest recorded sound has ended.
vqplatform::SoundCall LastEnded() {
  const auto deadline = std::chrono::steady_clock::now() + vqtest::kPatience;
  for (;;) {
    const auto calls = vqplatform::RecordedSoundCalls();
    if (calls.empty()) return {};
    if (calls.back().end != SoundEnd::Playing || std::chrono::steady_clock::now() > deadline) return calls.back();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override { vqplatform::ClearRecordedSoundCalls(); }
  void TearDown() override { PlaySoundW(nullptr, nullptr, 0); }
};

TEST_F(SoundTest, RelativeNamesAreFoundInTheDataFolderThenTheProgramFolderNeverTheCurrentOne) {
  const fs::path inProgram = WriteSound("program/beep.wav", 0.01);
  WriteSound("program/both.wav", 0.01);
  const fs::path inData = WriteSound("appdata/Ombrecht Software/both.wav", 0.01);
  const fs::path elsewhere = WriteSound("elsewhere/here.wav", 0.01);
  const fs::path previous = fs::current_path();
  fs::current_path(elsewhere.parent_path());
  EXPECT_FALSE(PlaySoundW(L"here.wav", nullptr, kSync));
  fs::current_path(previous);

  EXPECT_TRUE(PlaySoundW(L"beep.wav", nullptr, kSync));
  EXPECT_TRUE(PlaySoundW(L"both.wav", nullptr, kSync));
  EXPECT_TRUE(PlaySoundW(Wide(elsewhere).c_str(), nullptr, kSync));
  EXPECT_FALSE(PlaySoundW(L"missing.wav", nullptr, kAsync));
  vqtest::WriteFile(vqtest::TempPath("program/broken.wav"), "RIFF....WAVEfmt ");
  EXPECT_FALSE(PlaySoundW(L"broken.wav", nullptr, kAsync));
  EXPECT_FALSE(PlaySoundW(L"beep.wav", nullptr, kAsync | 0x0008));  // looping is not offered

  const auto calls = vqplatform::RecordedSoundCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].name, L"beep.wav");
  EXPECT_EQ(calls[0].path, Wide(inProgram));
  EXPECT_EQ(calls[1].path, Wide(inData));
  EXPECT_EQ(calls[2].path, Wide(elsewhere));
  for (const auto& call : calls) {
    EXPECT_EQ(call.flags, kSync);
    EXPECT_EQ(call.end, SoundEnd::Played);  // a waiting call returns when its sound has ended
    EXPECT_EQ(call.device, "");             // headless: nothing is opened
  }
}

TEST_F(SoundTest, ANewSoundCutsTheOnePlayingAndANullNameStopsIt) {
  WriteSound("program/long.wav", 30);
  WriteSound("program/short.wav", 0.2);
  EXPECT_TRUE(PlaySoundW(L"long.wav", nullptr, kAsync));  // returns at once
  EXPECT_EQ(vqplatform::RecordedSoundCalls().back().end, SoundEnd::Playing);

  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(PlaySoundW(L"short.wav", nullptr, kSync));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(190));
  auto calls = vqplatform::RecordedSoundCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].end, SoundEnd::Cut);
  EXPECT_EQ(calls[1].end, SoundEnd::Played);

  // A refused call leaves the sound playing; a null name stops it.
  EXPECT_TRUE(PlaySoundW(L"long.wav", nullptr, kAsync));
  EXPECT_FALSE(PlaySoundW(L"missing.wav", nullptr, kAsync));
  EXPECT_EQ(vqplatform::RecordedSoundCalls().back().end, SoundEnd::Playing);
  EXPECT_TRUE(PlaySoundW(nullptr, nullptr, 0));
  EXPECT_EQ(LastEnded().end, SoundEnd::Stopped);
  EXPECT_EQ(vqplatform::RecordedSoundCalls().size(), 3u);
}

// The player's worker is one of the process's: stopping them ends the sound
// playing, and the next sound starts it again.
TEST_F(SoundTest, StoppingTheProcessWorkersEndsTheSoundAndTheNextOnePlays) {
  WriteSound("program/long.wav", 30);
  WriteSound("program/short.wav", 0.01);
  EXPECT_TRUE(PlaySoundW(L"long.wav", nullptr, kAsync));
  vqplatform::StopProcessWorkers();
  EXPECT_EQ(vqplatform::RecordedSoundCalls().back().end, SoundEnd::Stopped);
  EXPECT_TRUE(PlaySoundW(L"short.wav", nullptr, kSync));
  EXPECT_EQ(vqplatform::RecordedSoundCalls().back().end, SoundEnd::Played);
}

#ifdef VQ_SHUTTER_SOUND
TEST_F(SoundTest, TheBuiltShutterSoundIsFoundInTheProgramFolder) {
  const fs::path built = VQ_SHUTTER_SOUND;
  setenv("VQ_PROGRAM_DIR", built.parent_path().c_str(), 1);
  ASSERT_TRUE(PlaySoundW(L"paizhao.wav", nullptr, kAsync));
  EXPECT_EQ(LastEnded().path, Wide(built));
}
#endif

// Not headless: the sound goes to an ALSA device, "null" standing in for a
// sound card; a device that cannot be opened plays silently.
class SoundDeviceTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    setenv("VQ_HEADLESS", "0", 1);
    setenv("DISPLAY", ":vq-no-display", 1);  // never opened here
  }
  void TearDown() override {
    SoundTest::TearDown();
    vqplatform::SetSoundDeviceForTests(nullptr);
  }
};

TEST_F(SoundDeviceTest, EveryFormatPlaysOnTheDevice) {
  vqplatform::SetSoundDeviceForTests("null");
  for (int bits : {8, 16, 24, 32})
    for (int channels : {1, 2}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
      const fs::path path = WriteSound("s.wav", 0.3, bits, channels);
      ASSERT_TRUE(PlaySoundW(Wide(path).c_str(), nullptr, kSync));
      const auto call = vqplatform::RecordedSoundCalls().back();
      EXPECT_EQ(call.device, "null");
      EXPECT_EQ(call.end, SoundEnd::Played);
    }
}

TEST_F(SoundDeviceTest, WithoutADeviceTheSoundIsSilentAndAlsaSaysNothing) {
  vqplatform::SetSoundDeviceForTests("vq_no_such_device");
  WriteSound("program/beep.wav", 0.05);
  const std::string errors = vqtest::TempPath("stderr.txt").string();
  const int saved = dup(2);
  const int file = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  dup2(file, 2);
  const BOOL played = PlaySoundW(L"beep.wav", nullptr, kSync);
  dup2(saved, 2);
  close(file);
  close(saved);
  EXPECT_TRUE(played);
  EXPECT_EQ(vqtest::ReadFile(errors), "");
  const auto call = vqplatform::RecordedSoundCalls().back();
  EXPECT_EQ(call.device, "");
  EXPECT_EQ(call.end, SoundEnd::Played);
}

}  // namespace

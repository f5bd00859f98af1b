#include "platform/win/WaveFile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/TestEnv.h"

namespace {

using vqplatform::WaveSound;
using vqplatform::WaveStatus;

std::string Le(uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xFF);
  return s;
}
std::string Chunk(const char* id, const std::string& body) {
  return id + Le(uint32_t(body.size()), 4) + body + (body.size() % 2 ? std::string(1, '\0') : "");
}
std::string Riff(const std::string& chunks) { return "RIFF" + Le(uint32_t(4 + chunks.size()), 4) + "WAVE" + chunks; }
std::string Fmt(int tag, int channels, int rate, int bits, int blockAlign = -1, const std::string& extra = "") {
  if (blockAlign < 0) blockAlign = channels * bits / 8;
  return Chunk("fmt ", Le(tag, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * blockAlign, 4) + Le(blockAlign, 2) +
                           Le(bits, 2) + extra);
}
std::string Extensible(const char* subFormatFirstByte) {
  return Le(22, 2) + Le(24, 2) + Le(3, 4) + subFormatFirstByte + std::string("\0\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 15);
}

WaveStatus Parse(const std::string& bytes, WaveSound* out = nullptr) {
  WaveSound ignored;
  return vqplatform::ParseWave(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out ? out : &ignored);
}

TEST(WaveFileTest, ReadsBackWhatItWritesInEveryPlayableFormat) {
  for (int bits : {8, 16, 24, 32})
    for (int channels : {1, 2}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels");
      WaveSound written;
      written.channels = channels;
      written.samplesPerSecond = 11025;
      written.bitsPerSample = bits;
      for (int i = 0; i < 3 * written.BytesPerFrame(); ++i) written.samples.push_back(uint8_t(i * 37 + bits));
      const std::string path = vqtest::TempPath("sound.wav").string();
      ASSERT_TRUE(vqplatform::WriteWaveFile(path, written));
      WaveSound read;
      ASSERT_EQ(vqplatform::ReadWaveFile(path, &read), WaveStatus::Ok);
      EXPECT_EQ(read.channels, channels);
      EXPECT_EQ(read.samplesPerSecond, 11025);
      EXPECT_EQ(read.bitsPerSample, bits);
      EXPECT_EQ(read.samples, written.samples);
      EXPECT_EQ(read.FrameCount(), 3u);
    }
  WaveSound bad;
  bad.channels = 1;
  bad.samplesPerSecond = 8000;
  bad.bitsPerSample = 12;
  EXPECT_FALSE(vqplatform::WriteWaveFile(vqtest::TempPath("bad.wav").string(), bad));
}

TEST(WaveFileTest, OtherChunksPaddingExtensiblePcmAndAPartFrame) {
  WaveSound sound;
  // An odd-sized chunk before the format, padded; 5 bytes of data are 2 whole stereo frames of 8 bits.
  ASSERT_EQ(Parse(Riff(Chunk("LIST", "INFOabc") + Fmt(1, 2, 22050, 8) + Chunk("data", "abcde") + "junk"), &sound),
            WaveStatus::Ok);
  EXPECT_EQ(sound.samples, std::vector<uint8_t>({'a', 'b', 'c', 'd'}));
  EXPECT_DOUBLE_EQ(sound.Seconds(), 2.0 / 22050);
  // The data may come before the format.
  ASSERT_EQ(Parse(Riff(Chunk("data", "wxyz") + Fmt(1, 1, 8000, 16)), &sound), WaveStatus::Ok);
  EXPECT_EQ(sound.FrameCount(), 2u);
  ASSERT_EQ(Parse(Riff(Fmt(0xFFFE, 2, 48000, 24, 6, Extensible("\x01")) + Chunk("data", std::string(12, '\0'))), &sound),
            WaveStatus::Ok);
  EXPECT_EQ(sound.bitsPerSample, 24);
  EXPECT_EQ(sound.FrameCount(), 2u);
}

TEST(WaveFileTest, RefusesBrokenFilesWithTheirReason) {
  const std::string data = Chunk("data", std::string(8, '\0'));
  const std::string pcm = Fmt(1, 1, 8000, 16);
  EXPECT_EQ(vqplatform::ReadWaveFile(vqtest::TempPath("missing.wav").string(), nullptr), WaveStatus::Unreadable);
  EXPECT_EQ(Parse(""), WaveStatus::NotWave);
  EXPECT_EQ(Parse(std::string("RIFF\x04\0\0\0WAV", 11)), WaveStatus::NotWave);
  EXPECT_EQ(Parse("RIFX" + Riff(pcm + data).substr(4)), WaveStatus::NotWave);
  EXPECT_EQ(Parse(Riff(pcm) + "data" + Le(1000, 4) + std::string(10, '\0')), WaveStatus::Truncated);
  EXPECT_EQ(Parse(Riff(pcm.substr(0, 20))), WaveStatus::Truncated);  // the format chunk cut short
  EXPECT_EQ(Parse(Riff(data)), WaveStatus::NoFormat);
  EXPECT_EQ(Parse(Riff(Chunk("fmt ", std::string(14, '\1')) + data)), WaveStatus::NoFormat);
  EXPECT_EQ(Parse(Riff(Fmt(2, 1, 8000, 4) + data)), WaveStatus::NotPcm);                           // ADPCM
  EXPECT_EQ(Parse(Riff(Fmt(0xFFFE, 1, 8000, 32, 4, Extensible("\x03")) + data)), WaveStatus::NotPcm);  // float
  EXPECT_EQ(Parse(Riff(Fmt(1, 1, 8000, 16, 4) + data)), WaveStatus::BadFormat);  // block alignment
  EXPECT_EQ(Parse(Riff(Fmt(1, 1, 8000, 12) + data)), WaveStatus::BadFormat);
  EXPECT_EQ(Parse(Riff(Fmt(1, 0, 8000, 16) + data)), WaveStatus::BadFormat);
  EXPECT_EQ(Parse(Riff(Fmt(1, 1, 0, 16) + data)), WaveStatus::BadFormat);
  EXPECT_EQ(Parse(Riff(pcm)), WaveStatus::NoData);
  // Too big to be a sound: refused before it is all read.
  vqtest::WriteFile(vqtest::TempPath("huge.wav"), Riff(pcm) + "data" + Le(0xFFFFFFF0u, 4) +
                                                     std::string(vqplatform::kMaxWaveFileBytes, '\0'));
  EXPECT_EQ(vqplatform::ReadWaveFile(vqtest::TempPath("huge.wav").string(), nullptr), WaveStatus::Unreadable);
}

}  // namespace

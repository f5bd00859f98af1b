#pragma once
// RIFF/WAVE files with PCM samples: the sounds PlaySoundW plays. Reading
// refuses anything it cannot play exactly as stored (compressed formats,
// odd sample sizes, chunks that run past the end of the file).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vqplatform {

struct WaveSound {
  int channels = 0;
  int samplesPerSecond = 0;
  int bitsPerSample = 0;  // 8 (unsigned), 16, 24 or 32 (signed little-endian)
  // Interleaved frames as stored, whole frames only.
  std::vector<uint8_t> samples;

  int BytesPerFrame() const { return channels * (bitsPerSample / 8); }
  size_t FrameCount() const;
  double Seconds() const;
};

enum class WaveStatus {
  Ok,
  Unreadable,   // the file cannot be read, or is larger than kMaxWaveFileBytes
  NotWave,      // no "RIFF" ... "WAVE" header
  Truncated,    // a chunk runs past the end of the file
  NoFormat,     // no usable "fmt " chunk
  NotPcm,       // a compressed or unknown sample format
  BadFormat,    // channels, rate, sample size or block alignment out of range
  NoData,       // no "data" chunk
};

constexpr size_t kMaxWaveFileBytes = 64u << 20;

WaveStatus ParseWave(const uint8_t* bytes, size_t size, WaveSound* out);
WaveStatus ReadWaveFile(const std::string& path, WaveSound* out);

// Writes a canonical 44-byte-header PCM file. False when the sound's format
// is not one ParseWave accepts or the file cannot be written.
bool WriteWaveFile(const std::string& path, const WaveSound& sound);

}  // namespace vqplatform

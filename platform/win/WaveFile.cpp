#include "platform/win/WaveFile.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "base/BoundedFile.h"

namespace vqplatform {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The PCM sub-format of WAVE_FORMAT_EXTENSIBLE, as stored.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

void Put16(std::vector<uint8_t>* out, uint32_t v) { out->insert(out->end(), {uint8_t(v), uint8_t(v >> 8)}); }
void Put32(std::vector<uint8_t>* out, uint32_t v) {
  out->insert(out->end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}
void PutId(std::vector<uint8_t>* out, const char* id) {
  for (int i = 0; i < 4; ++i) out->push_back(uint8_t(id[i]));
}

bool PlayableFormat(int channels, int rate, int bits) {
  return channels >= 1 && channels <= 8 && rate >= 1000 && rate <= 384000 &&
         (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

// Reads the "fmt " chunk body into `out`.
WaveStatus ParseFormat(const uint8_t* body, uint32_t length, WaveSound* out) {
  if (length < 16) return WaveStatus::NoFormat;
  const uint16_t tag = Le16(body);
  const int channels = Le16(body + 2);
  const int rate = static_cast<int>(Le32(body + 4) > 0x7FFFFFFF ? 0 : Le32(body + 4));
  const int blockAlign = Le16(body + 12);
  const int bits = Le16(body + 14);
  if (tag == kFormatExtensible) {
    if (length < 40 || Le16(body + 16) < 22) return WaveStatus::NoFormat;
    const int validBits = Le16(body + 18);
    if (std::memcmp(body + 24, kPcmSubFormat, sizeof kPcmSubFormat) != 0) return WaveStatus::NotPcm;
    if (validBits > bits) return WaveStatus::BadFormat;
  } else if (tag != kFormatPcm) {
    return WaveStatus::NotPcm;
  }
  if (!PlayableFormat(channels, rate, bits) || blockAlign != channels * bits / 8) return WaveStatus::BadFormat;
  out->channels = channels;
  out->samplesPerSecond = rate;
  out->bitsPerSample = bits;
  return WaveStatus::Ok;
}

}  // namespace

size_t WaveSound::FrameCount() const {
  const int frame = BytesPerFrame();
  return frame > 0 ? samples.size() / size_t(frame) : 0;
}

double WaveSound::Seconds() const {
  return samplesPerSecond > 0 ? double(FrameCount()) / samplesPerSecond : 0.0;
}

WaveStatus ParseWave(const uint8_t* bytes, size_t size, WaveSound* out) {
  if (!bytes || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 || std::memcmp(bytes + 8, "WAVE", 4) != 0)
    return WaveStatus::NotWave;
  // The RIFF length is often wrong; chunks are walked up to the end of the
  // file and the walk stops once both chunks are found, so trailing bytes
  // do not matter.
  WaveSound sound;
  bool haveFormat = false;
  const uint8_t* data = nullptr;
  uint32_t dataLength = 0;
  size_t at = 12;
  while (size - at >= 8 && !(haveFormat && data)) {
    const uint8_t* id = bytes + at;
    const uint32_t length = Le32(bytes + at + 4);
    const uint8_t* body = bytes + at + 8;
    if (length > size - at - 8) return WaveStatus::Truncated;
    if (!haveFormat && std::memcmp(id, "fmt ", 4) == 0) {
      const WaveStatus status = ParseFormat(body, length, &sound);
      if (status != WaveStatus::Ok) return status;
      haveFormat = true;
    } else if (!data && std::memcmp(id, "data", 4) == 0) {
      data = body;
      dataLength = length;
    }
    at += 8 + size_t(length) + (length & 1);  // chunks are padded to even lengths
    if (at > size) at = size;
  }
  if (!haveFormat) return WaveStatus::NoFormat;
  if (!data) return WaveStatus::NoData;
  const size_t whole = dataLength - dataLength % uint32_t(sound.BytesPerFrame());
  sound.samples.assign(data, data + whole);
  if (out) *out = std::move(sound);
  return WaveStatus::Ok;
}

WaveStatus ReadWaveFile(const std::string& path, WaveSound* out) {
  // Never blocks on a FIFO or device under the sound's name.
  std::string bytes;
  if (vq::ReadBoundedFile(path, kMaxWaveFileBytes, &bytes) != vq::FileRefusal::kNone) return WaveStatus::Unreadable;
  return ParseWave(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
}

bool WriteWaveFile(const std::string& path, const WaveSound& sound) {
  if (!PlayableFormat(sound.channels, sound.samplesPerSecond, sound.bitsPerSample)) return false;
  const uint32_t frame = uint32_t(sound.BytesPerFrame());
  const size_t dataLength = sound.FrameCount() * frame;
  if (dataLength > kMaxWaveFileBytes) return false;
  std::vector<uint8_t> bytes;
  PutId(&bytes, "RIFF");
  Put32(&bytes, uint32_t(36 + dataLength + (dataLength & 1)));
  PutId(&bytes, "WAVE");
  PutId(&bytes, "fmt ");
  Put32(&bytes, 16);
  Put16(&bytes, kFormatPcm);
  Put16(&bytes, uint32_t(sound.channels));
  Put32(&bytes, uint32_t(sound.samplesPerSecond));
  Put32(&bytes, uint32_t(sound.samplesPerSecond) * frame);
  Put16(&bytes, frame);
  Put16(&bytes, uint32_t(sound.bitsPerSample));
  PutId(&bytes, "data");
  Put32(&bytes, uint32_t(dataLength));
  bytes.insert(bytes.end(), sound.samples.begin(), sound.samples.begin() + std::ptrdiff_t(dataLength));
  if (dataLength & 1) bytes.push_back(0);
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
  return std::fclose(file.release()) == 0;
}

}  // namespace vqplatform

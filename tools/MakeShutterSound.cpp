// Writes the shutter sound "paizhao.wav": two short mechanical clicks, the
// shutter opening and closing, as 16-bit mono PCM. With --check it reads a
// sound file back and tells whether it is such a sound.
//
//   vq_make_shutter_sound <output path>
//   vq_make_shutter_sound --check <path>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/win/WaveFile.h"
#include "tools/WriteOrCheck.h"

namespace {

constexpr int kRate = 22050;
constexpr double kSeconds = 0.22;
constexpr double kPi = 3.14159265358979323846;

// One click: a noise burst and a ringing tone, both dying away fast.
void AddClick(std::vector<double>* signal, double start, double loudness, double ringHz) {
  uint32_t noise = 0x2545F491u;  // fixed seed: the same file on every build
  const size_t first = size_t(start * kRate);
  for (size_t i = first; i < signal->size(); ++i) {
    const double t = double(i - first) / kRate;
    noise = noise * 1664525u + 1013904223u;
    const double white = double(noise >> 8) / double(1u << 23) - 1.0;
    const double burst = white * std::exp(-t / 0.004);
    const double ring = std::sin(2 * kPi * ringHz * t) * std::exp(-t / 0.012);
    (*signal)[i] += loudness * (0.6 * burst + 0.4 * ring);
  }
}

int Write(const char* path) {
  std::vector<double> signal(size_t(kSeconds * kRate), 0.0);
  AddClick(&signal, 0.0, 1.0, 3200);
  AddClick(&signal, 0.09, 0.8, 2400);
  double peak = 0;
  for (double v : signal) peak = std::fmax(peak, std::fabs(v));
  vqplatform::WaveSound sound;
  sound.channels = 1;
  sound.samplesPerSecond = kRate;
  sound.bitsPerSample = 16;
  for (double v : signal) {
    const auto sample = int16_t(std::lround(v / peak * 0.7 * 32767));
    sound.samples.push_back(uint8_t(sample & 0xFF));
    sound.samples.push_back(uint8_t((sample >> 8) & 0xFF));
  }
  if (!vqplatform::WriteWaveFile(path, sound)) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  return 0;
}

int Check(const char* path) {
  vqplatform::WaveSound sound;
  if (vqplatform::ReadWaveFile(path, &sound) != vqplatform::WaveStatus::Ok) {
    std::fprintf(stderr, "%s: not a playable WAVE file\n", path);
    return 1;
  }
  if (sound.channels != 1 || sound.bitsPerSample != 16 || sound.samplesPerSecond != kRate ||
      sound.Seconds() < 0.1 || sound.Seconds() > 0.5) {
    std::fprintf(stderr, "%s: expected 0.1 to 0.5 s of 16-bit mono at %d Hz\n", path, kRate);
    return 1;
  }
  // Loud at the start and at the second click, quiet between and at the end.
  auto loudest = [&](double from, double to) {
    int peak = 0;
    for (size_t i = size_t(from * kRate); i < size_t(to * kRate) && i < sound.FrameCount(); ++i)
      peak = std::max(peak, std::abs(int(int16_t(sound.samples[2 * i] | sound.samples[2 * i + 1] << 8))));
    return peak;
  };
  const double end = sound.Seconds();
  if (loudest(0, 0.01) < 8000 || loudest(0.09, 0.1) < 8000 || loudest(0.07, 0.09) > 4000 ||
      loudest(end - 0.02, end) > 1000) {
    std::fprintf(stderr, "%s: does not sound like two clicks\n", path);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return WriteOrCheck(argc, argv, &Write, &Check); }

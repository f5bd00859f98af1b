// Feeds arbitrary bytes to the WAVE reader as the content of a sound file:
// it must accept or refuse them without reading out of bounds, and what it
// accepts must be whole frames of a playable format.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/win/WaveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vqplatform::WaveSound sound;
  if (vqplatform::ParseWave(data, size, &sound) != vqplatform::WaveStatus::Ok) return 0;
  if (sound.BytesPerFrame() <= 0 || sound.samples.size() % size_t(sound.BytesPerFrame()) != 0 ||
      sound.samples.size() > size)
    std::abort();
  volatile uint8_t sink = 0;
  for (uint8_t byte : sound.samples) sink = sink ^ byte;
  return 0;
}

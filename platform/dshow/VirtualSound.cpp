// The virtual microphone of the tests: a steady 440 Hz tone.
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/dshow/SoundDevice.h"

namespace vq::dshow {

namespace {

constexpr double kToneHz = 440.0;
constexpr double kAmplitude = 8000.0;

class ToneStream : public SoundStream {
 public:
  ToneStream(int rate, int channels) : rate_(rate), channels_(channels) {}
  bool Read(int16_t* buffer, int frames, const std::atomic<bool>& stop) override {
    if (stop) return false;
    for (int i = 0; i < frames; ++i, ++position_) {
      const auto value = int16_t(std::lround(kAmplitude * std::sin(2.0 * M_PI * kToneHz * double(position_) / rate_)));
      for (int c = 0; c < channels_; ++c) *buffer++ = value;
    }
    return true;
  }

 private:
  int rate_;
  int channels_;
  int64_t position_ = 0;
};

class ToneDevice : public SoundDevice {
 public:
  std::string Name() const override { return "virtual"; }
  std::wstring FriendlyName() const override { return L"Virtual Microphone"; }
  std::unique_ptr<SoundStream> Open(int rate, int channels) override {
    if (rate <= 0 || channels <= 0) return nullptr;
    return std::make_unique<ToneStream>(rate, channels);
  }
};

}  // namespace

bool VirtualSoundEnabled() {
  const char* value = std::getenv("VQ_VIRTUAL_AUDIO");
  if (!value) return false;
  const std::string v = value;
  return !v.empty() && v != "0" && v != "off" && v != "no" && v != "false";
}

std::shared_ptr<SoundDevice> VirtualSoundDevice() { return std::make_shared<ToneDevice>(); }

}  // namespace vq::dshow

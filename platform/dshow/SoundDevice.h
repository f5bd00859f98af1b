#pragma once
// The seam between the audio capture filter and a sound input: the ALSA
// capture devices, and the virtual microphone of the tests (a tone), which
// is listed only while VQ_VIRTUAL_AUDIO is set.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vq::dshow {

// An open input that captures 16-bit interleaved PCM from the moment it opens.
class SoundStream {
 public:
  virtual ~SoundStream() = default;
  // Reads exactly `frames` frames, waiting as long as the input needs;
  // false on failure or once `stop` is set.
  virtual bool Read(int16_t* buffer, int frames, const std::atomic<bool>& stop) = 0;
};

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  // The ALSA name, or "virtual".
  virtual std::string Name() const = 0;
  virtual std::wstring FriendlyName() const = 0;
  // Null when the device cannot capture at that rate and channel count.
  virtual std::unique_ptr<SoundStream> Open(int rate, int channels) = 0;
};

// The audio input category: the virtual microphone first when switched on,
// then every ALSA capture device that opens, in ALSA's order.
std::vector<std::shared_ptr<SoundDevice>> AttachedSoundDevices();

// ALSA capture devices. A name hint counts when it is not "null" (which
// only pretends to capture, giving silence) and its direction is capture
// or both.
bool IsAlsaCaptureHint(const char* name, const char* direction);
std::vector<std::shared_ptr<SoundDevice>> AlsaCaptureDevices();
// One ALSA device by name, listed or not ("null" too, for tests).
std::shared_ptr<SoundDevice> AlsaSoundDevice(const std::string& name, const std::wstring& friendlyName);

// The virtual microphone: a 440 Hz tone.
std::shared_ptr<SoundDevice> VirtualSoundDevice();
bool VirtualSoundEnabled();

}  // namespace vq::dshow

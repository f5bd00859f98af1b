// ALSA capture devices behind the audio input category.
#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstring>

#include "platform/dshow/SoundDevice.h"
#include "platform/win/AlsaQuiet.h"
#include "platform/win/Encoding.h"

namespace vq::dshow {

namespace {

constexpr unsigned kLatencyUs = 500000;
constexpr int kPollMs = 100;

class AlsaStream : public SoundStream {
 public:
  AlsaStream(snd_pcm_t* pcm, int channels) : pcm_(pcm), channels_(channels) {}
  ~AlsaStream() override { snd_pcm_close(pcm_); }

  bool Read(int16_t* buffer, int frames, const std::atomic<bool>& stop) override {
    int done = 0;
    while (done < frames) {
      if (stop) return false;
      snd_pcm_sframes_t n = snd_pcm_readi(pcm_, buffer + size_t(done) * size_t(channels_), snd_pcm_uframes_t(frames - done));
      if (n > 0) {
        done += int(n);
      } else if (n == 0 || n == -EAGAIN) {
        snd_pcm_wait(pcm_, kPollMs);
      } else if (snd_pcm_recover(pcm_, int(n), 1) < 0 || snd_pcm_start(pcm_) < 0) {
        // An overrun is recovered (the lost part is skipped); anything else ends the stream.
        return false;
      }
    }
    return true;
  }

 private:
  snd_pcm_t* pcm_;
  int channels_;
};

class AlsaDevice : public SoundDevice {
 public:
  AlsaDevice(std::string name, std::wstring friendlyName) : name_(std::move(name)), friendly_(std::move(friendlyName)) {}
  std::string Name() const override { return name_; }
  std::wstring FriendlyName() const override { return friendly_; }
  std::unique_ptr<SoundStream> Open(int rate, int channels) override {
    vqplatform::SilenceAlsaErrors();
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, name_.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0) return nullptr;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, unsigned(channels),
                           unsigned(rate), 1, kLatencyUs) < 0 ||
        snd_pcm_start(pcm) < 0) {
      snd_pcm_close(pcm);
      return nullptr;
    }
    return std::make_unique<AlsaStream>(pcm, channels);
  }

 private:
  std::string name_;
  std::wstring friendly_;
};

bool OpensForCapture(const char* name) {
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, name, SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0) return false;
  snd_pcm_close(pcm);
  return true;
}

}  // namespace

bool IsAlsaCaptureHint(const char* name, const char* direction) {
  if (!name || !*name || std::strcmp(name, "null") == 0) return false;
  return !direction || std::strcmp(direction, "Input") == 0;
}

std::vector<std::shared_ptr<SoundDevice>> AlsaCaptureDevices() {
  vqplatform::SilenceAlsaErrors();
  std::vector<std::shared_ptr<SoundDevice>> devices;
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || !hints) return devices;
  for (void** h = hints; *h; ++h) {
    char* name = snd_device_name_get_hint(*h, "NAME");
    char* direction = snd_device_name_get_hint(*h, "IOID");
    char* desc = snd_device_name_get_hint(*h, "DESC");
    if (IsAlsaCaptureHint(name, direction) && OpensForCapture(name)) {
      // The first line of the description is the card's name.
      std::string title = desc ? desc : name;
      title = title.substr(0, title.find('\n'));
      devices.push_back(AlsaSoundDevice(name, vq::Utf8ToWide(title)));
    }
    std::free(name);
    std::free(direction);
    std::free(desc);
  }
  snd_device_name_free_hint(hints);
  return devices;
}

std::shared_ptr<SoundDevice> AlsaSoundDevice(const std::string& name, const std::wstring& friendlyName) {
  return std::make_shared<AlsaDevice>(name, friendlyName);
}

std::vector<std::shared_ptr<SoundDevice>> AttachedSoundDevices() {
  std::vector<std::shared_ptr<SoundDevice>> devices;
  if (VirtualSoundEnabled()) devices.push_back(VirtualSoundDevice());
  for (auto& d : AlsaCaptureDevices()) devices.push_back(std::move(d));
  return devices;
}

}  // namespace vq::dshow

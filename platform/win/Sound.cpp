#include "platform/win/Sound.h"

#include <alsa/asoundlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "base/PathEncoding.h"
#include "platform/display/Headless.h"
#include "platform/win/AlsaQuiet.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Singletons.h"
#include "platform/win/WaveFile.h"

namespace vqplatform {
namespace {

using namespace std::chrono_literals;

constexpr unsigned kLatencyUs = 100000;
constexpr int kChunkMs = 20;  // how often a playing sound looks whether it was cut

struct Request {
  uint64_t id = 0;
  WaveSound sound;
  bool silent = false;  // headless: no device is opened
  std::string device;
};

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The file a name stands for: an absolute path as it is, a relative one in
// the data folder, then in the program folder. Empty when none is there.
std::string ResolveSoundFile(const std::wstring& name) {
  if (name.empty()) return {};
  const std::string narrow = vq::PathToBytes(name);
  if (narrow[0] == '/') return IsFile(narrow) ? narrow : std::string();
  for (const std::wstring& folder : {vq::MachineDataFolder(), vq::ProgramFolder()}) {
    if (folder.empty()) continue;
    const std::string path = vq::PathToBytes(vq::JoinPath(folder, name.c_str()));
    if (IsFile(path)) return path;
  }
  return {};
}

snd_pcm_format_t AlsaFormat(int bits) {
  switch (bits) {
    case 8: return SND_PCM_FORMAT_U8;
    case 16: return SND_PCM_FORMAT_S16_LE;
    case 24: return SND_PCM_FORMAT_S24_3LE;
    default: return SND_PCM_FORMAT_S32_LE;
  }
}

// The device set up for the sound's format, or null.
snd_pcm_t* OpenDevice(const std::string& name, const WaveSound& sound) {
  SilenceAlsaErrors();
  snd_pcm_t* pcm = nullptr;
  // Non-blocking open: a device held by another program fails instead of waiting.
  if (snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return nullptr;
  if (snd_pcm_nonblock(pcm, 0) < 0 ||
      snd_pcm_set_params(pcm, AlsaFormat(sound.bitsPerSample), SND_PCM_ACCESS_RW_INTERLEAVED,
                         unsigned(sound.channels), unsigned(sound.samplesPerSecond), 1, kLatencyUs) < 0) {
    snd_pcm_close(pcm);
    return nullptr;
  }
  return pcm;
}

void StopSoundPlayer();

// Kept for the whole process; its worker plays the sounds and is stopped,
// the sound playing then ended, with the process's other workers.
class SoundPlayer {
 public:
  static SoundPlayer& Instance() {
    static SoundPlayer* player = MakeSingleton<SoundPlayer>();
    return *player;
  }

  ~SoundPlayer() { StopWorker(); }

  // The sound playing ends as stopped; the next sound starts the worker
  // again.
  void StopWorker() {
    std::lock_guard stopping(stopMutex_);
    std::thread worker;
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
      CutLocked(SoundEnd::Stopped);
      worker = std::move(worker_);
    }
    changed_.notify_all();
    if (worker.joinable()) worker.join();
    std::lock_guard lock(mutex_);
    quit_ = false;
  }

  void Play(SoundCall call, WaveSound sound, bool silent, bool wait) {
    std::unique_lock lock(mutex_);
    if (!quit_) CutLocked(SoundEnd::Cut);
    const uint64_t id = ++lastId_;
    record_.push_back({id, std::move(call)});
    if (quit_) {  // while the worker is being stopped, the process ending
      EndLocked(id, SoundEnd::Stopped, {});
      return;
    }
    if (!worker_.joinable()) {
      worker_ = std::thread([this] { Run(); });
      KeepWorker(&StopSoundPlayer);
    }
    next_ = Request{id, std::move(sound), silent, device_};
    changed_.notify_all();
    if (wait) changed_.wait(lock, [&] { return playingId_ != id && !(next_ && next_->id == id); });
  }

  void Stop() {
    std::lock_guard lock(mutex_);
    CutLocked(SoundEnd::Stopped);
    changed_.notify_all();
  }

  std::vector<SoundCall> Record() {
    std::lock_guard lock(mutex_);
    std::vector<SoundCall> calls;
    for (const Entry& entry : record_) calls.push_back(entry.call);
    return calls;
  }

  void ClearRecord() {
    std::lock_guard lock(mutex_);
    record_.clear();
  }

  void SetDevice(const char* device) {
    std::lock_guard lock(mutex_);
    device_ = device ? device : "default";
  }

 private:
  struct Entry {
    uint64_t id;
    SoundCall call;
  };

  // Drops the sound waiting to start and ends the one playing.
  void CutLocked(SoundEnd how) {
    if (next_) {
      EndLocked(next_->id, how, {});
      next_.reset();
    }
    if (playingId_) cancel_ = how;
  }

  void EndLocked(uint64_t id, SoundEnd end, const std::string& device) {
    for (Entry& entry : record_)
      if (entry.id == id) {
        entry.call.end = end;
        entry.call.device = device;
      }
  }

  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return quit_ || next_.has_value(); });
      if (quit_) return;
      Request request = std::move(*next_);
      next_.reset();
      playingId_ = request.id;
      cancel_ = SoundEnd::Playing;
      lock.unlock();
      std::string used;
      SoundEnd end = SoundEnd::Playing;
      if (!request.silent) {
        if (snd_pcm_t* pcm = OpenDevice(request.device, request.sound)) {
          used = request.device;
          end = PlayOnDevice(pcm, request.sound);
        }
      }
      if (end == SoundEnd::Playing) end = PlaySilently(request.sound);
      lock.lock();
      EndLocked(request.id, end, used);
      playingId_ = 0;
      changed_.notify_all();
    }
  }

  // Takes the sound's time without a device; a cut ends it at once.
  SoundEnd PlaySilently(const WaveSound& sound) {
    std::unique_lock lock(mutex_);
    const auto length = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(sound.Seconds()));
    changed_.wait_for(lock, length, [&] { return cancel_ != SoundEnd::Playing; });
    return cancel_ == SoundEnd::Playing ? SoundEnd::Played : cancel_.load();
  }

  SoundEnd PlayOnDevice(snd_pcm_t* pcm, const WaveSound& sound) {
    const size_t frames = sound.FrameCount();
    const size_t frameBytes = size_t(sound.BytesPerFrame());
    const size_t chunk = std::max<size_t>(1, size_t(sound.samplesPerSecond) * kChunkMs / 1000);
    SoundEnd end = SoundEnd::Played;
    for (size_t done = 0; done < frames;) {
      if (cancel_ != SoundEnd::Playing) break;
      const snd_pcm_sframes_t n =
          snd_pcm_writei(pcm, sound.samples.data() + done * frameBytes, std::min(chunk, frames - done));
      if (n >= 0) {
        done += size_t(n);
      } else if (snd_pcm_recover(pcm, int(n), 1) < 0) {
        end = SoundEnd::DeviceFailed;
        break;
      }
    }
    // A sound shorter than the device's buffer has not started yet.
    if (end == SoundEnd::Played && snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm);
    // Waits for what the device holds, still open to a cut.
    while (end == SoundEnd::Played && cancel_ == SoundEnd::Playing) {
      snd_pcm_sframes_t delay = 0;
      if (snd_pcm_state(pcm) != SND_PCM_STATE_RUNNING || snd_pcm_delay(pcm, &delay) < 0 || delay <= 0) break;
      std::this_thread::sleep_for(std::min<std::chrono::milliseconds>(
          std::chrono::milliseconds(kChunkMs / 2), std::chrono::milliseconds(1 + delay * 1000 / sound.samplesPerSecond)));
    }
    if (cancel_ != SoundEnd::Playing && end == SoundEnd::Played) end = cancel_;
    if (end == SoundEnd::Played) {
      snd_pcm_drain(pcm);
    } else {
      snd_pcm_drop(pcm);
    }
    snd_pcm_close(pcm);
    return end;
  }

  std::mutex stopMutex_;  // one StopWorker at a time
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread worker_;
  std::optional<Request> next_;
  uint64_t lastId_ = 0;
  uint64_t playingId_ = 0;
  std::atomic<SoundEnd> cancel_{SoundEnd::Playing};  // how the playing sound is to end
  bool quit_ = false;
  std::string device_ = "default";
  std::vector<Entry> record_;
};

void StopSoundPlayer() { SoundPlayer::Instance().StopWorker(); }

}  // namespace

std::vector<SoundCall> RecordedSoundCalls() { return SoundPlayer::Instance().Record(); }

void ClearRecordedSoundCalls() { SoundPlayer::Instance().ClearRecord(); }

void SetSoundDeviceForTests(const char* device) { SoundPlayer::Instance().SetDevice(device); }

}  // namespace vqplatform

BOOL PlaySoundW(LPCWSTR sound, HMODULE, DWORD flags) {
  using namespace vqplatform;
  if (flags & ~DWORD(SND_ASYNC | SND_FILENAME)) return FALSE;
  if (!sound) {
    SoundPlayer::Instance().Stop();
    return TRUE;
  }
  const std::string path = ResolveSoundFile(sound);
  WaveSound wave;
  if (path.empty() || ReadWaveFile(path, &wave) != WaveStatus::Ok) return FALSE;
  SoundCall call;
  call.name = sound;
  call.path = vq::PathFromBytes(path);
  call.flags = flags;
  SoundPlayer::Instance().Play(std::move(call), std::move(wave), IsHeadless(), !(flags & SND_ASYNC));
  return TRUE;
}

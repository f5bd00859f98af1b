#include "platform/dshow/VirtualCamera.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sstream>
#include <utility>

#include "platform/dshow/FrameConversion.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/WindowBridge.h"
#include "platform/win/Clock.h"
#include "platform/win/Singletons.h"
#include "platform/win/Sync.h"
#include "platform/win/VirtualCameraIds.h"

namespace vq::dshow {

namespace {

constexpr int kMjpgQuality = 85;
constexpr HRESULT HRESULT_TRANSFER_FAILED = HRESULT(0x8007001FL);  // a device attached to the system is not functioning

ControlState Control(long property, long min, long max, long step, long dflt, long caps, long flags) {
  return ControlState{property, min, max, step, dflt, caps, dflt, flags};
}

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = wchar_t(std::towlower(c));
  return s;
}

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::atomic<unsigned> nextInstance{1};

}  // namespace

std::wstring VirtualVendorId() { return Widen(vq::kVirtualCameraVendorId); }
std::wstring VirtualDocumentProductId() { return Widen(vq::kVirtualDocumentCameraProductId); }
std::wstring VirtualPortraitProductId() { return Widen(vq::kVirtualPortraitCameraProductId); }

std::vector<ControlState> VirtualCameraConfig::DefaultProcAmp() {
  const long manual = VideoProcAmp_Flags_Manual, both = VideoProcAmp_Flags_Auto | VideoProcAmp_Flags_Manual;
  return {Control(VideoProcAmp_Brightness, -64, 64, 1, 0, manual, manual),
          Control(VideoProcAmp_Contrast, 0, 100, 1, 32, manual, manual),
          Control(VideoProcAmp_Saturation, 0, 100, 1, 64, manual, manual),
          Control(VideoProcAmp_Sharpness, 0, 7, 1, 3, manual, manual),
          Control(VideoProcAmp_Gamma, 72, 500, 1, 100, manual, manual),
          Control(VideoProcAmp_WhiteBalance, 2800, 6500, 10, 4600, both, VideoProcAmp_Flags_Auto),
          Control(VideoProcAmp_BacklightCompensation, 0, 2, 1, 1, manual, manual),
          Control(VideoProcAmp_Gain, 0, 100, 1, 0, manual, manual)};
}

std::vector<ControlState> VirtualCameraConfig::DefaultCameraControl() {
  const long both = CameraControl_Flags_Auto | CameraControl_Flags_Manual;
  return {Control(CameraControl_Exposure, -13, -1, 1, -6, both, CameraControl_Flags_Auto),
          Control(CameraControl_Focus, 0, 250, 5, 100, both, CameraControl_Flags_Auto)};
}

VirtualCameraConfig VirtualCameraConfig::Document() { return VirtualCameraConfig{}; }

VirtualCameraConfig VirtualCameraConfig::Portrait() {
  VirtualCameraConfig c;
  c.productId = VirtualPortraitProductId();
  c.friendlyName = L"Virtual Portrait Camera";
  c.sizes = {{640, 480}, {1280, 960}};
  return c;
}

// ---- streaming ----

// Paced on the system's one time source, so a test that runs the clock by
// hand gets frames, and scripted scenes, as it advances time.
class VirtualStream : public CaptureStream {
 public:
  VirtualStream(VirtualCamera& camera, CaptureFormat format)
      : camera_(camera),
        format_(format),
        intervalMs_(format.frameInterval > 0 ? double(format.frameInterval) / 10000.0 : 1000.0 / 15.0),
        startMs_(vqplatform::Clock::NowMs()),
        wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    camera_.AddStream(this);
  }
  ~VirtualStream() override {
    camera_.RemoveStream(this);
    CloseHandle(wake_);
  }

  HRESULT ReadFrame(BYTE* buffer, long capacity, long* length, DWORD timeoutMs) override {
    if (!buffer || !length) return E_POINTER;
    const uint64_t due = startMs_ + uint64_t(std::llround(double(frame_) * intervalMs_));
    uint64_t now = vqplatform::Clock::NowMs();
    if (now < due && camera_.present_) WaitForSingleObject(wake_, DWORD(std::min<uint64_t>(due - now, timeoutMs)));
    if (!camera_.present_) return HRESULT_DEVICE_NOT_CONNECTED;
    if (camera_.transferErrors_) return HRESULT_TRANSFER_FAILED;
    now = vqplatform::Clock::NowMs();
    if (now < due) return S_FALSE;
    // A late reader gets the newest frame; the ones it missed are dropped, as a camera drops them.
    frame_ = std::max(frame_, static_cast<long long>(double(now - startMs_) / intervalMs_));
    const double seconds = double(frame_) * intervalMs_ / 1000.0;
    auto payload = camera_.Payload(camera_.Frames().KeyAt(seconds), format_);
    if (!payload || payload->empty()) return E_FAIL;
    if (long(payload->size()) > capacity) return VFW_E_BUFFER_OVERFLOW;
    std::memcpy(buffer, payload->data(), payload->size());
    *length = long(payload->size());
    ++frame_;
    return S_OK;
  }

  void Interrupt() override { SetEvent(wake_); }

 private:
  VirtualCamera& camera_;
  CaptureFormat format_;
  double intervalMs_;
  uint64_t startMs_;
  HANDLE wake_;
  long long frame_ = 0;
};

// ---- VirtualCamera ----

VirtualCamera::VirtualCamera(VirtualCameraConfig config) : config_(std::move(config)), frames_(config_.content) {
  if (config_.instance.empty()) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%08x", 0x56510000u + nextInstance++);
    config_.instance = text;
  }
  path_ = L"\\\\?\\usb#vid_" + Lower(config_.vendorId) + L"&pid_" + Lower(config_.productId) + L"&mi_00#6&" +
          Lower(config_.instance) + L"&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
  const REFERENCE_TIME interval =
      config_.framesPerSecond > 0 ? REFERENCE_TIME(10000000.0 / config_.framesPerSecond + 0.5) : 666667;
  auto add = [&](REFGUID subtype) {
    for (const auto& s : config_.sizes) formats_.push_back(CaptureFormat{subtype, s.width, s.height, interval});
  };
  if (config_.mjpgFirst && config_.mjpg) add(MEDIASUBTYPE_MJPG);
  if (config_.yuy2) add(MEDIASUBTYPE_YUY2);
  if (!config_.mjpgFirst && config_.mjpg) add(MEDIASUBTYPE_MJPG);
  if (config_.unreadableFormat >= 0 && config_.unreadableFormat < int(formats_.size()))
    formats_[size_t(config_.unreadableFormat)].readable = false;
}

VirtualCamera::~VirtualCamera() = default;

std::vector<ControlState>* VirtualCamera::Controls(ControlKind kind) {
  return kind == ControlKind::VideoProcAmp ? &config_.procAmp : &config_.cameraControl;
}

HRESULT VirtualCamera::GetControl(ControlKind kind, long property, ControlState* state) {
  if (!state) return E_POINTER;
  std::lock_guard lock(lock_);
  for (const auto& c : *Controls(kind)) {
    if (c.property == property) {
      *state = c;
      return S_OK;
    }
  }
  return E_PROP_ID_UNSUPPORTED_VALUE;
}

HRESULT VirtualCamera::SetControl(ControlKind kind, long property, long value, long flags) {
  std::lock_guard lock(lock_);
  for (auto& c : *Controls(kind)) {
    if (c.property != property) continue;
    const long autoFlag = 1, manualFlag = 2;
    if (flags & autoFlag) {
      if (!(c.caps & autoFlag)) return E_INVALIDARG;
      c.flags = autoFlag;
      return S_OK;
    }
    if (!(flags & manualFlag) || value < c.min || value > c.max) return E_INVALIDARG;
    c.value = value;
    c.flags = manualFlag;
    return S_OK;
  }
  return E_PROP_ID_UNSUPPORTED_VALUE;
}

std::unique_ptr<CaptureStream> VirtualCamera::OpenStream(const CaptureFormat& format, HRESULT* result) {
  if (!present_) {
    if (result) *result = HRESULT_DEVICE_NOT_CONNECTED;
    return nullptr;
  }
  if (busy_) {
    if (result) *result = HRESULT_DEVICE_BUSY;
    return nullptr;
  }
  if (result) *result = S_OK;
  {
    std::lock_guard lock(lock_);
    streamed_ = true;
    lastFormat_ = format;
  }
  return std::make_unique<VirtualStream>(*this, format);
}

bool VirtualCamera::LastStreamFormat(CaptureFormat* format) {
  std::lock_guard lock(lock_);
  if (streamed_ && format) *format = lastFormat_;
  return streamed_;
}

// Exposure is log2 seconds: a manual value one above the default lets in
// twice the light. Automatic exposure keeps the picture as it is.
int VirtualCamera::ExposureSteps() const {
  for (const auto& c : config_.cameraControl)
    if (c.property == CameraControl_Exposure && (c.flags & CameraControl_Flags_Manual)) return int(c.value - c.dflt);
  return 0;
}

std::shared_ptr<const std::vector<BYTE>> VirtualCamera::Payload(long long key, const CaptureFormat& format) {
  const bool mjpg = format.subtype == MEDIASUBTYPE_MJPG;
  std::tuple<long long, int, int, bool, int> id;
  {
    std::lock_guard lock(lock_);
    id = std::make_tuple(key, format.width, format.height, mjpg, ExposureSteps());
    auto it = payloads_.find(id);
    if (it != payloads_.end()) return it->second;
  }
  auto picture = frames_.Picture(key, cv::Size(format.width, format.height));
  cv::Mat exposed;  // never the shared picture itself
  if (const int steps = std::get<4>(id)) picture->convertTo(exposed, -1, std::ldexp(1.0, steps));
  else exposed = *picture;
  auto payload = std::make_shared<const std::vector<BYTE>>(mjpg ? BgrToMjpg(exposed, kMjpgQuality)
                                                                : BgrToYuy2(exposed));
  std::lock_guard lock(lock_);
  if (payloads_.size() >= 32) payloads_.clear();
  payloads_[id] = payload;
  return payload;
}

void VirtualCamera::AddStream(CaptureStream* stream) {
  std::lock_guard lock(lock_);
  streams_.push_back(stream);
}

void VirtualCamera::RemoveStream(CaptureStream* stream) {
  std::lock_guard lock(lock_);
  streams_.erase(std::remove(streams_.begin(), streams_.end(), stream), streams_.end());
}

void VirtualCamera::WakeStreams() {
  std::lock_guard lock(lock_);
  for (auto* s : streams_) s->Interrupt();
}

void VirtualCamera::Unplug() {
  if (!present_.exchange(false)) return;
  WakeStreams();
  NotifyListeners([](CaptureDeviceListener* l) { l->DeviceLost(); });
  BroadcastToTopLevelWindows(kWmDeviceChange, kDbtDeviceRemoveComplete, 0);
}

void VirtualCamera::Replug() {
  if (present_.exchange(true)) return;
  NotifyListeners([](CaptureDeviceListener* l) { l->DeviceBack(); });
  BroadcastToTopLevelWindows(kWmDeviceChange, kDbtDeviceArrival, 0);
}

void VirtualCamera::SetBusy(bool on) { busy_ = on; }

void VirtualCamera::SetTransferErrors(bool on) {
  transferErrors_ = on;
  WakeStreams();
}

void VirtualCamera::PressSnapshotButton() {
  if (!present_) return;
  NotifyListeners([](CaptureDeviceListener* l) { l->StillButtonPressed(); });
}

// ---- the list of virtual cameras ----

namespace {

struct Registry {
  std::mutex lock;
  std::vector<std::shared_ptr<VirtualCamera>> plugged;
  std::string envValue;
  std::vector<std::shared_ptr<VirtualCamera>> fromEnv;
  std::vector<std::string> fromEnvEntries;  // the list entry of each camera
};

Registry& TheRegistry() {
  static auto* r = vqplatform::MakeSingleton<Registry>();
  return *r;
}

// Follows a changed list: a camera whose entry stays keeps running, one
// whose entry went is returned to be unplugged (outside the registry's lock).
std::vector<std::shared_ptr<VirtualCamera>> SyncWithEnvironment(Registry& r) {
  const char* value = std::getenv("VQ_VIRTUAL_CAMERA");
  std::string text = value ? value : "";
  if (text == r.envValue) return {};
  r.envValue = text;
  std::vector<std::shared_ptr<VirtualCamera>> old;
  std::vector<std::string> oldEntries;
  old.swap(r.fromEnv);
  oldEntries.swap(r.fromEnvEntries);
  std::vector<VirtualCameraConfig> configs;
  if (ParseVirtualCameraList(text, &configs)) {
    std::stringstream entries(text);
    std::string entry;
    size_t next = 0;
    while (std::getline(entries, entry, ';') && next < configs.size()) {
      if (entry.empty()) continue;
      std::shared_ptr<VirtualCamera> camera;
      for (size_t i = 0; i < old.size() && !camera; ++i)
        if (old[i] && oldEntries[i] == entry) camera = std::exchange(old[i], nullptr);
      if (!camera) camera = std::make_shared<VirtualCamera>(std::move(configs[next]));
      ++next;
      r.fromEnv.push_back(camera);
      r.fromEnvEntries.push_back(entry);
    }
  }
  std::erase(old, nullptr);
  return old;
}

bool ParseCamera(const std::string& entry, VirtualCameraConfig* out) {
  if (entry == "document" || entry == "1" || entry == "on" || entry == "yes" || entry == "true") {
    *out = VirtualCameraConfig::Document();
    return true;
  }
  if (entry == "portrait") {
    *out = VirtualCameraConfig::Portrait();
    return true;
  }
  VirtualCameraConfig c;
  std::stringstream items(entry);
  std::string item;
  while (std::getline(items, item, ',')) {
    if (item.empty()) continue;
    auto eq = item.find('=');
    if (eq == std::string::npos) return false;
    std::string key = item.substr(0, eq), value = item.substr(eq + 1);
    if (key == "vid") {
      c.vendorId = Widen(value);
    } else if (key == "pid") {
      c.productId = Widen(value);
    } else if (key == "name") {
      c.friendlyName = Widen(value);
    } else if (key == "instance") {
      c.instance = Widen(value);
    } else if (key == "fps") {
      c.framesPerSecond = std::atof(value.c_str());
      if (c.framesPerSecond <= 0) return false;
    } else if (key == "still") {
      c.stillPin = value != "0";
    } else if (key == "sizes") {
      c.sizes.clear();
      std::stringstream sizes(value);
      std::string s;
      while (std::getline(sizes, s, '+')) {
        int w = 0, h = 0;
        if (std::sscanf(s.c_str(), "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0 || w % 2) return false;
        c.sizes.emplace_back(w, h);
      }
    } else if (key == "folder") {
      c.content.kind = VirtualContent::Kind::Folder;
      c.content.folder = value;
    } else if (key == "script") {
      if (value != "demo") return false;
      vqscene::Scene look = vqscene::EmptyDesk(cv::Size(1280, 960));
      auto script = std::make_shared<vqscene::SceneScript>(look, 7);
      script->ClearDesk(2).HandPasses(2).LaySheet(3).Wait(4).LaySheet(3).Wait(4);
      c.content.kind = VirtualContent::Kind::Script;
      c.content.script = script;
    } else {
      return false;
    }
  }
  *out = std::move(c);
  return true;
}

}  // namespace

bool ParseVirtualCameraList(const std::string& text, std::vector<VirtualCameraConfig>* out) {
  out->clear();
  if (text.empty() || text == "0" || text == "off" || text == "no" || text == "false") return true;
  std::stringstream cameras(text);
  std::string entry;
  while (std::getline(cameras, entry, ';')) {
    if (entry.empty()) continue;
    VirtualCameraConfig c;
    if (!ParseCamera(entry, &c)) {
      out->clear();
      return false;
    }
    out->push_back(std::move(c));
  }
  return true;
}

std::shared_ptr<VirtualCamera> PlugInVirtualCamera(VirtualCameraConfig config) {
  auto camera = std::make_shared<VirtualCamera>(std::move(config));
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.lock);
    r.plugged.push_back(camera);
  }
  BroadcastToTopLevelWindows(kWmDeviceChange, kDbtDeviceArrival, 0);
  return camera;
}

void RemoveVirtualCameras() {
  std::vector<std::shared_ptr<VirtualCamera>> removed;
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.lock);
    removed.swap(r.plugged);
  }
  for (auto& c : removed) c->Unplug();
}

std::vector<std::shared_ptr<VirtualCamera>> VirtualCameras() {
  Registry& r = TheRegistry();
  std::vector<std::shared_ptr<VirtualCamera>> all, removed;
  {
    std::lock_guard lock(r.lock);
    removed = SyncWithEnvironment(r);
    all = r.fromEnv;
    all.insert(all.end(), r.plugged.begin(), r.plugged.end());
  }
  for (auto& c : removed) c->Unplug();
  return all;
}

void RegisterVirtualCameraProvider() {
  RegisterCaptureDeviceProvider([] {
    std::vector<std::shared_ptr<CaptureDevice>> devices;
    for (auto& c : VirtualCameras()) devices.push_back(c);
    return devices;
  });
}

}  // namespace vq::dshow

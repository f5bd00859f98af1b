#include "platform/dshow/V4l2Enumerator.h"

#include <fcntl.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/dshow/HotplugMonitor.h"
#include "platform/dshow/WindowBridge.h"
#include "platform/win/Singletons.h"

namespace vq::dshow {

namespace fs = std::filesystem;

namespace {

std::string ReadLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

bool IsHexId(const std::string& s) {
  return s.size() == 4 && std::all_of(s.begin(), s.end(), [](char c) { return std::isxdigit(unsigned(c)); });
}

std::wstring LowerHex(const std::string& s) {
  std::wstring w = Widen(s);
  for (auto& c : w) c = wchar_t(std::towlower(c));
  return w;
}

// The card name is a fixed-size, possibly unterminated field.
std::wstring CardName(const v4l2_capability& cap) {
  const char* card = reinterpret_cast<const char*>(cap.card);
  const size_t n = strnlen(card, sizeof cap.card);
  std::wstring name;
  for (size_t i = 0; i < n; ++i) name += wchar_t(static_cast<unsigned char>(card[i]));
  return name;
}

// Eight hexadecimal digits that stay the same while the camera stays in its port.
std::wstring InstanceOf(const std::string& portPath) {
  uint32_t h = 2166136261u;
  for (unsigned char c : portPath) h = (h ^ c) * 16777619u;
  wchar_t text[16];
  std::swprintf(text, 16, L"%08x", h);
  return text;
}

std::string FindInputEvent(const V4l2Environment& env, const fs::path& interfaceDir) {
  std::error_code ec;
  for (const auto& input : fs::directory_iterator(interfaceDir / "input", ec)) {
    std::error_code inner;
    for (const auto& entry : fs::directory_iterator(input.path(), inner)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("event", 0) == 0) return env.devRoot + "/input/" + name;
    }
  }
  return {};
}

int NodeNumber(const std::string& name) {
  if (name.size() <= 5 || name.rfind("video", 0) != 0) return -1;
  int n = 0;
  for (size_t i = 5; i < name.size(); ++i) {
    if (!std::isdigit(unsigned(name[i])) || n > 100000) return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

}  // namespace

bool ReadV4l2Identity(const V4l2Environment& env, const std::string& nodeName, V4l2Identity* out) {
  V4l2Identity id;
  id.node = env.devRoot + "/" + nodeName;
  {
    const int fd = env.io->Open(id.node, O_RDWR | O_NONBLOCK);
    if (fd < 0) return false;
    v4l2_capability cap{};
    const bool queried = env.io->Ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
    env.io->Close(fd);
    if (!queried) return false;
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING)) return false;
    id.cardName = CardName(cap);
  }
  std::error_code ec;
  const fs::path interfaceDir = fs::canonical(fs::path(env.sysRoot) / "class/video4linux" / nodeName / "device", ec);
  if (ec) return false;
  const fs::path usbDevice = interfaceDir.parent_path();
  const std::string vid = ReadLine(usbDevice / "idVendor"), pid = ReadLine(usbDevice / "idProduct");
  if (!IsHexId(vid) || !IsHexId(pid)) return false;
  id.vendorId = LowerHex(vid);
  id.productId = LowerHex(pid);
  const std::string iface = ReadLine(interfaceDir / "bInterfaceNumber");
  id.interfaceNumber = iface.empty() ? 0 : int(std::strtol(iface.c_str(), nullptr, 16));
  id.instance = InstanceOf(usbDevice.filename().string());
  id.inputEventNode = FindInputEvent(env, interfaceDir);
  *out = std::move(id);
  return true;
}

V4l2CameraRegistry::V4l2CameraRegistry() : env_(SystemV4l2Environment()) {}

V4l2CameraRegistry::~V4l2CameraRegistry() { monitor_.reset(); }

void V4l2CameraRegistry::SetEnvironment(V4l2Environment env) {
  std::unique_ptr<HotplugMonitor> oldMonitor;
  std::vector<std::shared_ptr<V4l2Camera>> dropped;
  {
    std::lock_guard lock(lock_);
    oldMonitor = std::move(monitor_);
    dropped.swap(cameras_);
    seen_.clear();
  }
  oldMonitor.reset();  // joins its thread outside the lock
  for (auto& c : dropped) c->Detach();
  std::lock_guard lock(lock_);
  env_ = std::move(env);
}

void V4l2CameraRegistry::StartMonitor() {
  std::lock_guard lock(lock_);
  if (monitor_) return;
  monitor_ = std::make_unique<HotplugMonitor>(env_.devRoot, [this] { Rescan(); });
  vqplatform::KeepWorker([] { TheV4l2Cameras().StopMonitor(); });
}

void V4l2CameraRegistry::StopMonitor() {
  std::unique_ptr<HotplugMonitor> old;
  {
    std::lock_guard lock(lock_);
    old = std::move(monitor_);
  }
  old.reset();  // joins its thread outside the lock
}

std::vector<std::shared_ptr<V4l2Camera>> V4l2CameraRegistry::Rescan() {
  std::lock_guard scan(scanLock_);
  V4l2Environment env;
  std::vector<std::shared_ptr<V4l2Camera>> known, seen;
  {
    std::lock_guard lock(lock_);
    env = env_;
    known = cameras_;
    seen = seen_;
  }
  std::vector<std::pair<int, std::string>> nodes;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(env.devRoot, ec)) {
    const std::string name = entry.path().filename().string();
    if (NodeNumber(name) >= 0) nodes.emplace_back(NodeNumber(name), name);
  }
  std::sort(nodes.begin(), nodes.end());

  std::vector<std::shared_ptr<V4l2Camera>> present, added;
  bool arrived = false, removed = false;
  for (const auto& node : nodes) {
    V4l2Identity id;
    if (!ReadV4l2Identity(env, node.second, &id)) continue;
    const std::wstring path = V4l2DevicePath(id);
    auto it = std::find_if(known.begin(), known.end(), [&](auto& c) { return c->DevicePath() == path; });
    if (it != known.end()) {
      if (std::find(present.begin(), present.end(), *it) != present.end()) continue;
      if (std::find(seen.begin(), seen.end(), *it) == seen.end()) arrived = true;
      (*it)->Attach(id);
      present.push_back(*it);
    } else {
      auto camera = std::make_shared<V4l2Camera>(env, id);
      added.push_back(camera);
      present.push_back(camera);
      arrived = true;
    }
  }
  for (auto& c : known) {
    if (std::find(present.begin(), present.end(), c) != present.end()) continue;
    c->Detach();  // may have happened already, when its stream found the node gone
    if (std::find(seen.begin(), seen.end(), c) != seen.end()) removed = true;
  }
  {
    std::lock_guard lock(lock_);
    cameras_.insert(cameras_.end(), added.begin(), added.end());
    seen_ = present;
  }
  if (removed) BroadcastToTopLevelWindows(kWmDeviceChange, kDbtDeviceRemoveComplete, 0);
  if (arrived) BroadcastToTopLevelWindows(kWmDeviceChange, kDbtDeviceArrival, 0);
  return present;
}

V4l2CameraRegistry& TheV4l2Cameras() {
  static auto* registry = vqplatform::MakeSingleton<V4l2CameraRegistry>();
  return *registry;
}

void RegisterV4l2CameraProvider() {
  RegisterCaptureDeviceProvider([] {
    V4l2CameraRegistry& registry = TheV4l2Cameras();
    registry.StartMonitor();
    std::vector<std::shared_ptr<CaptureDevice>> devices;
    for (auto& c : registry.Rescan()) devices.push_back(c);
    return devices;
  });
}

}  // namespace vq::dshow

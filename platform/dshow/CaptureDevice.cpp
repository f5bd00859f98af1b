#include "platform/dshow/CaptureDevice.h"

#include <algorithm>

#include "platform/win/Singletons.h"

namespace vq::dshow {

void CaptureDevice::AddListener(CaptureDeviceListener* listener) {
  std::lock_guard lock(listenerLock_);
  listeners_.push_back(listener);
}

void CaptureDevice::RemoveListener(CaptureDeviceListener* listener) {
  std::lock_guard lock(listenerLock_);
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void CaptureDevice::NotifyListeners(const std::function<void(CaptureDeviceListener*)>& call) {
  std::lock_guard lock(listenerLock_);
  for (auto* l : listeners_) call(l);
}

namespace {
std::mutex& ProviderLock() {
  static std::mutex m;
  return m;
}
std::vector<CaptureDeviceProvider>& Providers() {
  static auto* providers = vqplatform::MakeSingleton<std::vector<CaptureDeviceProvider>>();
  return *providers;
}
}  // namespace

void RegisterCaptureDeviceProvider(CaptureDeviceProvider provider) {
  std::lock_guard lock(ProviderLock());
  Providers().push_back(std::move(provider));
}

std::vector<std::shared_ptr<CaptureDevice>> AttachedCaptureDevices() {
  std::vector<CaptureDeviceProvider> providers;
  {
    std::lock_guard lock(ProviderLock());
    providers = Providers();
  }
  std::vector<std::shared_ptr<CaptureDevice>> devices;
  for (auto& p : providers)
    for (auto& d : p())
      if (d && d->IsPresent()) devices.push_back(d);
  return devices;
}

}  // namespace vq::dshow

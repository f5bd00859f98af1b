#include "platform/dshow/DeviceEnumerator.h"

#include "platform/dshow/AudioCaptureFilter.h"
#include "platform/dshow/CaptureFilter.h"
#include "platform/dshow/SoundDevice.h"

namespace {

using vq::dshow::CaptureDevice;
using vq::dshow::SoundDevice;

// What a moniker stands for: its named properties and the filter it binds to.
class DeviceEntry {
 public:
  virtual ~DeviceEntry() = default;
  // False for a property the device does not have.
  virtual bool Property(const std::wstring& name, std::wstring* value) const = 0;
  virtual HRESULT Bind(REFIID iid, void** out) = 0;
};

class CameraEntry : public DeviceEntry {
 public:
  explicit CameraEntry(std::shared_ptr<CaptureDevice> device) : device_(std::move(device)) {}
  bool Property(const std::wstring& name, std::wstring* value) const override {
    if (name == L"DevicePath")
      *value = device_->DevicePath();
    else if (name == L"FriendlyName")
      *value = device_->FriendlyName();
    else
      return false;
    return true;
  }
  HRESULT Bind(REFIID iid, void** out) override {
    if (!device_->IsPresent()) return HRESULT_DEVICE_NOT_CONNECTED;
    auto filter = ComPtr<IBaseFilter>::Adopt(new CCaptureFilter(device_));
    return filter->QueryInterface(iid, out);
  }

 private:
  std::shared_ptr<CaptureDevice> device_;
};

class SoundEntry : public DeviceEntry {
 public:
  explicit SoundEntry(std::shared_ptr<SoundDevice> device) : device_(std::move(device)) {}
  bool Property(const std::wstring& name, std::wstring* value) const override {
    if (name != L"FriendlyName") return false;
    *value = device_->FriendlyName();
    return true;
  }
  HRESULT Bind(REFIID iid, void** out) override {
    auto filter = ComPtr<IBaseFilter>::Adopt(new CAudioCaptureFilter(device_));
    return filter->QueryInterface(iid, out);
  }

 private:
  std::shared_ptr<SoundDevice> device_;
};

using Entry = std::shared_ptr<DeviceEntry>;

class DevicePropertyBag : public IPropertyBag {
 public:
  explicit DevicePropertyBag(Entry device) : device_(std::move(device)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (vq::dshow::OfferInterface<IPropertyBag>(iid, IID_IUnknown, this, out) ||
        vq::dshow::OfferInterface<IPropertyBag>(iid, IID_IPropertyBag, this, out))
      return S_OK;
    *out = nullptr;
    return E_NOINTERFACE;
  }
  VQ_COM_REFCOUNT
  HRESULT Read(LPCOLESTR name, VARIANT* value, void*) override {
    if (!name || !value) return E_POINTER;
    std::wstring text;
    if (!device_->Property(name, &text)) return E_INVALIDARG;
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(text.c_str());
    return value->bstrVal ? S_OK : E_OUTOFMEMORY;
  }

 private:
  vq::dshow::RefCount refs_;
  Entry device_;
};

class DeviceMoniker : public IMoniker {
 public:
  explicit DeviceMoniker(Entry device) : device_(std::move(device)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (vq::dshow::OfferInterface<IMoniker>(iid, IID_IUnknown, this, out) ||
        vq::dshow::OfferInterface<IMoniker>(iid, IID_IMoniker, this, out))
      return S_OK;
    *out = nullptr;
    return E_NOINTERFACE;
  }
  VQ_COM_REFCOUNT
  HRESULT BindToObject(void*, IMoniker*, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    return device_->Bind(iid, out);
  }
  HRESULT BindToStorage(void*, IMoniker*, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto bag = ComPtr<IPropertyBag>::Adopt(new DevicePropertyBag(device_));
    return bag->QueryInterface(iid, out);
  }

 private:
  vq::dshow::RefCount refs_;
  Entry device_;
};

class MonikerList : public IEnumMoniker {
 public:
  explicit MonikerList(std::vector<Entry> devices) : devices_(std::move(devices)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (vq::dshow::OfferInterface<IEnumMoniker>(iid, IID_IUnknown, this, out) ||
        vq::dshow::OfferInterface<IEnumMoniker>(iid, IID_IEnumMoniker, this, out))
      return S_OK;
    *out = nullptr;
    return E_NOINTERFACE;
  }
  VQ_COM_REFCOUNT
  HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) override {
    if (!monikers) return E_POINTER;
    ULONG n = 0;
    while (n < count && pos_ < devices_.size()) monikers[n++] = new DeviceMoniker(devices_[pos_++]);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    pos_ = std::min(devices_.size(), pos_ + count);
    return pos_ < devices_.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }

 private:
  vq::dshow::RefCount refs_;
  std::vector<Entry> devices_;
  size_t pos_ = 0;
};

std::vector<Entry> DevicesOf(REFCLSID category) {
  std::vector<Entry> entries;
  if (category == CLSID_VideoInputDeviceCategory)
    for (auto& d : vq::dshow::AttachedCaptureDevices()) entries.push_back(std::make_shared<CameraEntry>(d));
  if (category == CLSID_AudioInputDeviceCategory)
    for (auto& d : vq::dshow::AttachedSoundDevices()) entries.push_back(std::make_shared<SoundEntry>(d));
  return entries;
}

}  // namespace

HRESULT CSystemDeviceEnum::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (vq::dshow::OfferInterface<ICreateDevEnum>(iid, IID_IUnknown, this, out) ||
      vq::dshow::OfferInterface<ICreateDevEnum>(iid, IID_ICreateDevEnum, this, out))
    return S_OK;
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT CSystemDeviceEnum::CreateClassEnumerator(REFCLSID category, IEnumMoniker** out, DWORD) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto devices = DevicesOf(category);
  if (devices.empty()) return S_FALSE;
  *out = new MonikerList(std::move(devices));
  return S_OK;
}

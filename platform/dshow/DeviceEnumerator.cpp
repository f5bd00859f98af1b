#include "platform/dshow/DeviceEnumerator.h"

#include "platform/dshow/CaptureFilter.h"

namespace {

using vq::dshow::CaptureDevice;

class DevicePropertyBag : public IPropertyBag {
 public:
  explicit DevicePropertyBag(std::shared_ptr<CaptureDevice> device) : device_(std::move(device)) {}
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
    if (std::wstring(name) == L"DevicePath")
      text = device_->DevicePath();
    else if (std::wstring(name) == L"FriendlyName")
      text = device_->FriendlyName();
    else
      return E_INVALIDARG;
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocString(text.c_str());
    return value->bstrVal ? S_OK : E_OUTOFMEMORY;
  }

 private:
  vq::dshow::RefCount refs_;
  std::shared_ptr<CaptureDevice> device_;
};

class DeviceMoniker : public IMoniker {
 public:
  explicit DeviceMoniker(std::shared_ptr<CaptureDevice> device) : device_(std::move(device)) {}
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
    if (!device_->IsPresent()) return HRESULT_DEVICE_NOT_CONNECTED;
    auto filter = ComPtr<IBaseFilter>::Adopt(new CCaptureFilter(device_));
    return filter->QueryInterface(iid, out);
  }
  HRESULT BindToStorage(void*, IMoniker*, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto bag = ComPtr<IPropertyBag>::Adopt(new DevicePropertyBag(device_));
    return bag->QueryInterface(iid, out);
  }

 private:
  vq::dshow::RefCount refs_;
  std::shared_ptr<CaptureDevice> device_;
};

class MonikerList : public IEnumMoniker {
 public:
  explicit MonikerList(std::vector<std::shared_ptr<CaptureDevice>> devices) : devices_(std::move(devices)) {}
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
  std::vector<std::shared_ptr<CaptureDevice>> devices_;
  size_t pos_ = 0;
};

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
  if (category != CLSID_VideoInputDeviceCategory) return S_FALSE;
  auto devices = vq::dshow::AttachedCaptureDevices();
  if (devices.empty()) return S_FALSE;
  *out = new MonikerList(std::move(devices));
  return S_OK;
}

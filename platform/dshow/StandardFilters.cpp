#include "platform/dshow/StandardFilters.h"

#include <cstring>
#include <string>

// ---- CNullRenderer ----

CNullRenderer::CNullRenderer() : CBaseFilter(L"Null Renderer", &lock_), input_(this, &lock_, L"In") {}

CBasePin* CNullRenderer::GetPin(int n) { return n == 0 ? &input_ : nullptr; }

// ---- CInfTee ----

CInfTee::CInfTee() : CPassThroughFilter(L"Infinite Pin Tee Filter", &lock_), input_(this, &lock_, L"Input") {
  outputs_.push_back(std::make_unique<CPassThroughOutputPin>(this, &lock_, L"Output1"));
}

int CInfTee::GetPinCount() {
  CAutoLock lock(&lock_);
  return int(outputs_.size()) + 1;
}

CBasePin* CInfTee::GetPin(int n) {
  CAutoLock lock(&lock_);
  if (n == 0) return &input_;
  if (n < 1 || n > int(outputs_.size())) return nullptr;
  return outputs_[size_t(n - 1)].get();
}

void CInfTee::OutputConnected() {
  CAutoLock lock(&lock_);
  for (auto& o : outputs_)
    if (!o->IsConnected()) return;
  std::wstring name = L"Output" + std::to_wstring(outputs_.size() + 1);
  outputs_.push_back(std::make_unique<CPassThroughOutputPin>(this, &lock_, name.c_str()));
}

HRESULT CInfTee::ReceiveSample(IMediaSample* sample) {
  std::vector<CPassThroughOutputPin*> targets;
  {
    CAutoLock lock(&lock_);
    for (auto& o : outputs_)
      if (o->IsConnected()) targets.push_back(o.get());
  }
  HRESULT result = S_OK;
  for (auto* o : targets) {
    HRESULT hr = o->Deliver(sample);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

// ---- CSampleGrabber ----

CSampleGrabber::CSampleGrabber()
    : CPassThroughFilter(L"Sample Grabber", &lock_), input_(this, &lock_, L"Input"), output_(this, &lock_, L"Output") {}

CSampleGrabber::~CSampleGrabber() {
  if (callback_) callback_->Release();
}

HRESULT CSampleGrabber::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (vq::dshow::OfferInterface<ISampleGrabber>(iid, IID_ISampleGrabber, this, out)) return S_OK;
  return CPassThroughFilter::QueryInterface(iid, out);
}

CBasePin* CSampleGrabber::GetPin(int n) {
  if (n == 0) return &input_;
  if (n == 1) return &output_;
  return nullptr;
}

HRESULT CSampleGrabber::CheckInput(const CMediaType* type) {
  if (!type) return E_POINTER;
  CAutoLock lock(&lock_);
  if (wanted_.majortype != GUID_NULL && wanted_.majortype != type->majortype) return VFW_E_TYPE_NOT_ACCEPTED;
  if (wanted_.subtype != GUID_NULL && wanted_.subtype != type->subtype) return VFW_E_TYPE_NOT_ACCEPTED;
  if (wanted_.formattype != GUID_NULL && wanted_.formattype != type->formattype) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT CSampleGrabber::ReceiveSample(IMediaSample* sample) {
  ISampleGrabberCB* callback = nullptr;
  long kind = 0;
  {
    CAutoLock lock(&lock_);
    if (oneShot_ && shotTaken_) return S_FALSE;
    shotTaken_ = true;
    if (buffer_) {
      BYTE* data = nullptr;
      sample->GetPointer(&data);
      lastSample_.assign(data, data + sample->GetActualDataLength());
      haveLast_ = true;
    }
    callback = callback_;
    if (callback) callback->AddRef();
    kind = callbackKind_;
  }
  if (callback) {
    REFERENCE_TIME start = 0, end = 0;
    sample->GetTime(&start, &end);
    const double seconds = double(start) / 1e7;
    if (kind == 0) {
      callback->SampleCB(seconds, sample);
    } else {
      BYTE* data = nullptr;
      sample->GetPointer(&data);
      callback->BufferCB(seconds, data, sample->GetActualDataLength());
    }
    callback->Release();
  }
  return output_.IsConnected() ? output_.Deliver(sample) : S_OK;
}

HRESULT CSampleGrabber::SetOneShot(BOOL oneShot) {
  CAutoLock lock(&lock_);
  oneShot_ = oneShot;
  shotTaken_ = false;
  return S_OK;
}

HRESULT CSampleGrabber::SetMediaType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  CAutoLock lock(&lock_);
  wanted_ = *type;
  return S_OK;
}

HRESULT CSampleGrabber::GetConnectedMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  CAutoLock lock(&lock_);
  if (!input_.IsConnected()) return VFW_E_NOT_CONNECTED;
  return CopyMediaType(type, &input_.CurrentMediaType());
}

HRESULT CSampleGrabber::SetBufferSamples(BOOL buffer) {
  CAutoLock lock(&lock_);
  buffer_ = buffer;
  return S_OK;
}

HRESULT CSampleGrabber::GetCurrentBuffer(long* size, long* buffer) {
  if (!size) return E_POINTER;
  CAutoLock lock(&lock_);
  if (!buffer_) return E_INVALIDARG;
  if (!haveLast_) return VFW_E_WRONG_STATE;
  if (!buffer) {
    *size = long(lastSample_.size());
    return S_OK;
  }
  if (*size < long(lastSample_.size())) return E_OUTOFMEMORY;
  std::memcpy(buffer, lastSample_.data(), lastSample_.size());
  *size = long(lastSample_.size());
  return S_OK;
}

HRESULT CSampleGrabber::GetCurrentSample(IMediaSample** sample) {
  if (sample) *sample = nullptr;
  return E_NOTIMPL;
}

HRESULT CSampleGrabber::SetCallback(ISampleGrabberCB* callback, long which) {
  if (which != 0 && which != 1) return E_INVALIDARG;
  CAutoLock lock(&lock_);
  if (callback) callback->AddRef();
  if (callback_) callback_->Release();
  callback_ = callback;
  callbackKind_ = which;
  return S_OK;
}

#include "platform/dshow/SourceFilter.h"

#include <algorithm>

// ---- CSource ----

CSource::CSource(const wchar_t* name, IUnknown*, REFCLSID clsid) : CBaseFilter(name, &m_cStateLock), clsid_(clsid) {}

CSource::~CSource() {
  // A pin's destructor removes it from the list.
  while (!m_paStreams.empty()) delete m_paStreams.back();
}

int CSource::GetPinCount() {
  CAutoLock lock(&m_cStateLock);
  return int(m_paStreams.size());
}

CBasePin* CSource::GetPin(int n) {
  CAutoLock lock(&m_cStateLock);
  return n >= 0 && n < int(m_paStreams.size()) ? m_paStreams[size_t(n)] : nullptr;
}

HRESULT CSource::AddPin(CSourceStream* pin) {
  if (!pin) return E_POINTER;
  CAutoLock lock(&m_cStateLock);
  m_paStreams.push_back(pin);
  return S_OK;
}

HRESULT CSource::RemovePin(CSourceStream* pin) {
  CAutoLock lock(&m_cStateLock);
  auto it = std::find(m_paStreams.begin(), m_paStreams.end(), pin);
  if (it == m_paStreams.end()) return S_FALSE;
  m_paStreams.erase(it);
  return S_OK;
}

HRESULT CSource::Run(REFERENCE_TIME start) {
  HRESULT hr = CBaseFilter::Run(start);
  if (FAILED(hr)) return hr;
  for (int i = 0; i < GetPinCount(); ++i) {
    auto* pin = static_cast<CSourceStream*>(GetPin(i));
    if (pin->IsConnected()) pin->StartStreaming();
  }
  return S_OK;
}

HRESULT CSource::Stop() {
  // Not under the state lock: the streaming threads may need it while they end.
  for (int i = 0; i < GetPinCount(); ++i) static_cast<CSourceStream*>(GetPin(i))->StopStreaming();
  return CBaseFilter::Stop();
}

// ---- CSourceStream ----

CSourceStream::CSourceStream(const wchar_t*, HRESULT* result, CSource* filter, const wchar_t* pinName)
    : CBaseOutputPin(filter, filter->pStateLock(), pinName), m_pFilter(filter) {
  HRESULT hr = filter->AddPin(this);
  if (result) *result = hr;
}

CSourceStream::~CSourceStream() {
  StopStreaming();
  m_pFilter->RemovePin(this);
}

HRESULT CSourceStream::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

void CSourceStream::StartStreaming() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread(&CSourceStream::Stream, this);
}

void CSourceStream::StopStreaming() {
  if (!thread_.joinable()) return;
  stop_ = true;
  if (allocator_) allocator_->Decommit();
  thread_.join();
}

void CSourceStream::Stream() {
  while (!stop_) {
    IMediaSample* sample = nullptr;
    if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) break;
    HRESULT hr = FillBuffer(sample);
    if (hr == S_OK) {
      // A refusal downstream (a stopped or failing sink) ends the stream.
      if (Deliver(sample) != S_OK) hr = S_FALSE;
    } else if (FAILED(hr) && !stop_) {
      m_pFilter->NotifyEvent(EC_ERRORABORT, hr, 0);
    }
    sample->Release();
    if (hr != S_OK) break;
  }
}

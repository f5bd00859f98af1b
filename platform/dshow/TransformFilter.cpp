#include "platform/dshow/TransformFilter.h"

CTransformInputPin::CTransformInputPin(CTransformFilter* filter, CCritSec* lock)
    : CBaseInputPin(filter, lock, L"XForm In"), transform_(filter) {}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType* type) { return transform_->CheckInputType(type); }

HRESULT CTransformInputPin::SetMediaType(const CMediaType* type) {
  HRESULT hr = CBasePin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  return transform_->SetMediaType(PINDIR_INPUT, type);
}

HRESULT CTransformInputPin::CompleteConnect(IPin* receiver) {
  return transform_->CompleteConnect(PINDIR_INPUT, receiver);
}

HRESULT CTransformInputPin::BreakConnect() {
  transform_->BreakConnect(PINDIR_INPUT);
  return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::Receive(IMediaSample* sample) {
  HRESULT hr = CBaseInputPin::Receive(sample);
  if (hr != S_OK) return hr;
  return transform_->Receive(sample);
}

CTransformOutputPin::CTransformOutputPin(CTransformFilter* filter, CCritSec* lock)
    : CBaseOutputPin(filter, lock, L"XForm Out"), transform_(filter) {}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* type) {
  CBasePin* in = transform_->GetPin(0);
  if (!in->IsConnected()) return E_UNEXPECTED;
  return transform_->CheckTransform(&in->CurrentMediaType(), type);
}

HRESULT CTransformOutputPin::GetMediaType(int position, CMediaType* type) {
  return transform_->GetMediaType(position, type);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* type) {
  HRESULT hr = CBasePin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  return transform_->SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
  return transform_->DecideBufferSize(allocator, props);
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* receiver) {
  HRESULT hr = CBaseOutputPin::CompleteConnect(receiver);
  if (FAILED(hr)) return hr;
  return transform_->CompleteConnect(PINDIR_OUTPUT, receiver);
}

HRESULT CTransformOutputPin::BreakConnect() {
  transform_->BreakConnect(PINDIR_OUTPUT);
  return CBaseOutputPin::BreakConnect();
}

CTransformFilter::CTransformFilter(const wchar_t* name, IUnknown*, REFCLSID) : CBaseFilter(name, &m_csFilter) {
  m_pInput = new CTransformInputPin(this, &m_csFilter);
  m_pOutput = new CTransformOutputPin(this, &m_csFilter);
}

CTransformFilter::~CTransformFilter() {
  delete m_pOutput;
  delete m_pInput;
}

CBasePin* CTransformFilter::GetPin(int n) {
  if (n == 0) return m_pInput;
  if (n == 1) return m_pOutput;
  return nullptr;
}

HRESULT CTransformFilter::Transform(IMediaSample*, IMediaSample*) { return E_UNEXPECTED; }

HRESULT CTransformFilter::SetMediaType(PIN_DIRECTION, const CMediaType*) { return S_OK; }
HRESULT CTransformFilter::CompleteConnect(PIN_DIRECTION, IPin*) { return S_OK; }
HRESULT CTransformFilter::BreakConnect(PIN_DIRECTION) { return S_OK; }

HRESULT CTransformFilter::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  if (!m_pOutput->IsConnected()) return S_OK;
  IMediaSample* out = nullptr;
  HRESULT hr = m_pOutput->GetDeliveryBuffer(&out, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  hr = Transform(sample, out);
  if (hr == S_OK)
    hr = m_pOutput->Deliver(out);
  else if (hr == S_FALSE)
    hr = S_OK;
  out->Release();
  return hr;
}

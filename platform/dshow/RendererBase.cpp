#include "platform/dshow/RendererBase.h"

CRendererInputPin::CRendererInputPin(CBaseVideoRenderer* renderer, HRESULT* result, const wchar_t* name)
    : CBaseInputPin(renderer, renderer->FilterLock(), name), renderer_(renderer) {
  if (result) *result = S_OK;
}

HRESULT CRendererInputPin::CheckMediaType(const CMediaType* type) {
  if (!type) return E_POINTER;
  return renderer_->CheckMediaType(type);
}

HRESULT CRendererInputPin::SetMediaType(const CMediaType* type) {
  HRESULT hr = CBaseInputPin::SetMediaType(type);
  return FAILED(hr) ? hr : renderer_->SetMediaType(type);
}

HRESULT CRendererInputPin::CompleteConnect(IPin* receiver) {
  HRESULT hr = CBaseInputPin::CompleteConnect(receiver);
  return FAILED(hr) ? hr : renderer_->CompleteConnect(receiver);
}

HRESULT CRendererInputPin::BreakConnect() {
  renderer_->BreakConnect();
  return CBaseInputPin::BreakConnect();
}

HRESULT CRendererInputPin::Receive(IMediaSample* sample) {
  HRESULT hr = CBaseInputPin::Receive(sample);
  return FAILED(hr) ? hr : renderer_->Receive(sample);
}

CBaseVideoRenderer::CBaseVideoRenderer(REFCLSID clsid, const wchar_t* name, CCritSec* lock)
    : CBaseFilter(name, lock), clsid_(clsid) {}

CBasePin* CBaseVideoRenderer::GetPin(int n) { return n == 0 ? GetInputPin() : nullptr; }

HRESULT CBaseVideoRenderer::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  if (IsStopped()) return VFW_E_WRONG_STATE;
  HRESULT hr = DoRenderSample(sample);
  if (SUCCEEDED(hr)) ++framesDrawn_;
  return hr;
}

#include "platform/dshow/PassThroughPins.h"

HRESULT CPassThroughOutputPin::CheckMediaType(const CMediaType* type) {
  CBasePin* in = owner_->InputPin();
  if (!type) return E_POINTER;
  if (!in->IsConnected()) return VFW_E_NOT_CONNECTED;
  const CMediaType& current = in->CurrentMediaType();
  if (current.majortype != type->majortype || current.subtype != type->subtype ||
      current.formattype != type->formattype)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT CPassThroughOutputPin::GetMediaType(int position, CMediaType* type) {
  CBasePin* in = owner_->InputPin();
  if (!in->IsConnected()) return E_UNEXPECTED;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = in->CurrentMediaType();
  return S_OK;
}

HRESULT CPassThroughOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
  const CMediaType& in = owner_->InputPin()->CurrentMediaType();
  props->cBuffers = 1;
  props->cbBuffer = long(in.lSampleSize > 0 ? in.lSampleSize : 1);
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(props, &actual);
}

HRESULT CPassThroughOutputPin::CompleteConnect(IPin* receiver) {
  HRESULT hr = CBaseOutputPin::CompleteConnect(receiver);
  if (SUCCEEDED(hr)) owner_->OutputConnected();
  return hr;
}

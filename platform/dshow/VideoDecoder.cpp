#include "platform/dshow/VideoDecoder.h"

#include <cstdlib>

#include "platform/dshow/FrameConversion.h"

namespace {

bool FrameSize(const CMediaType& mt, int* width, int* height) {
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(mt);
  if (!vih) return false;
  *width = vih->bmiHeader.biWidth;
  *height = std::abs(vih->bmiHeader.biHeight);
  return *width > 0 && *height > 0;
}

}  // namespace

namespace vq::dshow {

void CopySampleProperties(IMediaSample* from, IMediaSample* to) {
  REFERENCE_TIME start, end;
  HRESULT hr = from->GetTime(&start, &end);
  if (hr == S_OK)
    to->SetTime(&start, &end);
  else if (hr == VFW_S_NO_STOP_TIME)
    to->SetTime(&start, nullptr);
  LONGLONG mediaStart, mediaEnd;
  if (from->GetMediaTime(&mediaStart, &mediaEnd) == S_OK) to->SetMediaTime(&mediaStart, &mediaEnd);
  to->SetSyncPoint(from->IsSyncPoint() == S_OK);
  to->SetPreroll(from->IsPreroll() == S_OK);
  to->SetDiscontinuity(from->IsDiscontinuity() == S_OK);
}

IBaseFilter* CreateVideoDecoder() { return new CVideoDecoder(); }

}  // namespace vq::dshow

CVideoDecoder::CVideoDecoder() : CTransformFilter(L"Video Decoder", nullptr, CLSID_VideoDecoder) {}

HRESULT CVideoDecoder::CheckInputType(const CMediaType* in) {
  if (!in) return E_POINTER;
  if (*in->Type() != MEDIATYPE_Video) return VFW_E_TYPE_NOT_ACCEPTED;
  if (*in->Subtype() != MEDIASUBTYPE_YUY2 && *in->Subtype() != MEDIASUBTYPE_MJPG) return VFW_E_TYPE_NOT_ACCEPTED;
  int w, h;
  if (!FrameSize(*in, &w, &h)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (*in->Subtype() == MEDIASUBTYPE_YUY2 && w % 2 != 0) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT CVideoDecoder::GetMediaType(int position, CMediaType* type) {
  if (!m_pInput->IsConnected()) return E_UNEXPECTED;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  if (!type) return E_POINTER;
  const CMediaType& in = m_pInput->CurrentMediaType();
  int w, h;
  if (!FrameSize(in, &w, &h)) return E_UNEXPECTED;
  *type = vq::dshow::MakeVideoType(MEDIASUBTYPE_RGB24, w, h, vq::dshow::VideoInfo(in)->AvgTimePerFrame);
  return S_OK;
}

HRESULT CVideoDecoder::CheckTransform(const CMediaType* in, const CMediaType* out) {
  if (!in || !out) return E_POINTER;
  if (*out->Type() != MEDIATYPE_Video || *out->Subtype() != MEDIASUBTYPE_RGB24) return VFW_E_TYPE_NOT_ACCEPTED;
  int wi, hi, wo, ho;
  if (!FrameSize(*in, &wi, &hi) || !FrameSize(*out, &wo, &ho)) return VFW_E_TYPE_NOT_ACCEPTED;
  const VIDEOINFOHEADER* vo = vq::dshow::VideoInfo(*out);
  if (wi != wo || hi != ho || vo->bmiHeader.biBitCount != 24 || vo->bmiHeader.biHeight < 0)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT CVideoDecoder::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
  if (!allocator || !props) return E_POINTER;
  int w, h;
  if (!FrameSize(m_pInput->CurrentMediaType(), &w, &h)) return E_UNEXPECTED;
  props->cBuffers = 1;
  props->cbBuffer = long(w) * h * 3;
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(props, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < props->cbBuffer ? E_FAIL : S_OK;
}

HRESULT CVideoDecoder::Transform(IMediaSample* in, IMediaSample* out) {
  const CMediaType& type = m_pInput->CurrentMediaType();
  int w, h;
  if (!FrameSize(type, &w, &h)) return E_UNEXPECTED;
  BYTE *src = nullptr, *dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  const long length = in->GetActualDataLength();
  const long frameBytes = long(w) * h * 3;
  if (out->GetSize() < frameBytes) return E_UNEXPECTED;
  if (*type.Subtype() == MEDIASUBTYPE_YUY2) {
    if (length < long(w) * h * 2) return S_FALSE;
    vq::dshow::Yuy2ToBottomUpBgr(src, w, h, dst);
  } else if (!vq::dshow::MjpgToBottomUpBgr(src, size_t(length), w, h, dst)) {
    return S_FALSE;
  }
  out->SetActualDataLength(frameBytes);
  vq::dshow::CopySampleProperties(in, out);
  return S_OK;
}

#include "capture/GrabDataFilter.h"

#include <cstdlib>
#include <cstring>

#include "platform/dshow/VideoDecoder.h"
#include "platform/dshow/WindowBridge.h"

CGrabDataFilter::CGrabDataFilter() : CTransformFilter(nullptr, nullptr, GUID_NULL) {}

HRESULT CGrabDataFilter::CheckInputType(const CMediaType* in) {
  if (!in) return E_POINTER;
  if (*in->FormatType() != FORMAT_VideoInfo) return E_INVALIDARG;
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(*in);
  if (*in->Type() == MEDIATYPE_Video && *in->Subtype() == MEDIASUBTYPE_RGB24 && vih &&
      vih->bmiHeader.biBitCount == 24)
    return S_OK;
  return E_FAIL;
}

HRESULT CGrabDataFilter::CheckTransform(const CMediaType* in, const CMediaType* out) {
  if (!in || !out) return E_POINTER;
  HRESULT hr = CheckInputType(in);
  if (FAILED(hr)) return hr;
  if (*out->FormatType() != FORMAT_VideoInfo || in->FormatLength() < sizeof(VIDEOINFOHEADER) ||
      out->FormatLength() < sizeof(VIDEOINFOHEADER))
    return E_INVALIDARG;
  const auto* a = reinterpret_cast<const VIDEOINFOHEADER*>(in->Format());
  const auto* b = reinterpret_cast<const VIDEOINFOHEADER*>(out->Format());
  if (std::memcmp(&a->bmiHeader, &b->bmiHeader, sizeof(BITMAPINFOHEADER)) != 0) return E_INVALIDARG;
  return S_OK;
}

HRESULT CGrabDataFilter::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
  if (!m_pInput->IsConnected()) return E_UNEXPECTED;
  if (!allocator || !props) return E_POINTER;
  ALLOCATOR_PROPERTIES wanted = *props;
  wanted.cBuffers = 1;
  wanted.cbBuffer = long(m_pInput->CurrentMediaType().GetSampleSize());
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(&wanted, &actual);
  if (FAILED(hr)) return hr;
  if (actual.cBuffers < wanted.cBuffers || actual.cbBuffer < wanted.cbBuffer) return E_FAIL;
  *props = actual;
  return S_OK;
}

HRESULT CGrabDataFilter::GetMediaType(int position, CMediaType* type) {
  if (!m_pInput->IsConnected()) return E_UNEXPECTED;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  if (!type) return E_POINTER;
  *type = m_pInput->CurrentMediaType();
  if (const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(*type)) {
    CAutoLock lock(&lock_);
    width_ = vih->bmiHeader.biWidth;
    height_ = vih->bmiHeader.biHeight;
  }
  return S_OK;
}

HRESULT CGrabDataFilter::Receive(IMediaSample* sample) {
  CAutoLock lock(&lock_);
  return CTransformFilter::Receive(sample);
}

void CGrabDataFilter::KeepFrame(const BYTE* data, long length, const VIDEOINFOHEADER& format) {
  const int width = format.bmiHeader.biWidth;
  const int rows = std::abs(format.bmiHeader.biHeight);
  const bool topDown = format.bmiHeader.biHeight < 0;
  if (width <= 0 || rows <= 0 || length < 0) return;
  const size_t packedRow = size_t(width) * 3;
  const size_t paddedRow = (packedRow + 3) & ~size_t(3);
  size_t stride;
  if (size_t(length) >= paddedRow * size_t(rows))
    stride = paddedRow;
  else if (size_t(length) >= packedRow * size_t(rows))
    stride = packedRow;
  else
    return;  // a short sample holds no whole frame and is not kept
  if (stride == packedRow && !topDown) {
    holder_.SetFrame(data, width, rows);
    return;
  }
  // Padded or top-down rows: store them packed and bottom-up.
  packed_.resize(packedRow * size_t(rows));
  for (int y = 0; y < rows; ++y) {
    const int from = topDown ? rows - 1 - y : y;
    std::memcpy(packed_.data() + packedRow * size_t(y), data + stride * size_t(from), packedRow);
  }
  holder_.SetFrame(packed_.data(), width, rows);
}

HRESULT CGrabDataFilter::Transform(IMediaSample* in, IMediaSample* out) {
  if (!in || !out) return E_POINTER;
  CAutoLock lock(&lock_);
  BYTE *src = nullptr, *dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  const long length = in->GetActualDataLength();
  if (length > out->GetSize()) return E_UNEXPECTED;
  std::memcpy(dst, src, size_t(length));
  REFERENCE_TIME start, end;
  HRESULT hr = in->GetTime(&start, &end);
  if (hr == S_OK || hr == VFW_S_NO_STOP_TIME) out->SetTime(&start, hr == S_OK ? &end : nullptr);
  LONGLONG mediaStart, mediaEnd;
  if (in->GetMediaTime(&mediaStart, &mediaEnd) == S_OK) out->SetMediaTime(&mediaStart, &mediaEnd);
  for (auto [query, set] : {std::pair{&IMediaSample::IsSyncPoint, &IMediaSample::SetSyncPoint},
                            std::pair{&IMediaSample::IsPreroll, &IMediaSample::SetPreroll},
                            std::pair{&IMediaSample::IsDiscontinuity, &IMediaSample::SetDiscontinuity}}) {
    hr = (in->*query)();
    if (hr != S_OK && hr != S_FALSE) return E_UNEXPECTED;
    (out->*set)(hr == S_OK);
  }
  out->SetActualDataLength(length);

  const CMediaType& inType = m_pInput->CurrentMediaType();
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(inType);
  if (!vih) return E_UNEXPECTED;
  CMediaType outType;
  if (GetMediaType(0, &outType) == S_OK) out->SetMediaType(&outType);
  KeepFrame(src, length, *vih);
  if (notifyWindow_) vq::dshow::PostWindowMessage(notifyWindow_, notifyMessage_, 0, 0);
  return S_OK;
}

bool CGrabDataFilter::GetFrame(CDPrgb24* destination) {
  if (!destination) return false;
  CAutoLock lock(&lock_);
  int w = 0, h = 0;
  if (!holder_.GetSize(&w, &h)) return false;
  return destination->SetFrame(holder_.GetBuffer(), w, h);
}

cv::Mat CGrabDataFilter::GetMat() {
  CAutoLock lock(&lock_);
  return holder_.GetMat();
}

void CGrabDataFilter::SetNotify(HWND window, UINT message) {
  CAutoLock lock(&lock_);
  notifyWindow_ = window;
  notifyMessage_ = message;
}

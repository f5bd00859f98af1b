#include "capture/PushPinVideo.h"

#include <algorithm>
#include <cstring>

#include "capture/ShowVideoPro.h"
#include "platform/mfc/CImage.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;

// The colour table GDI gives 8-bit copies of a true-colour bitmap, so the
// offered palette is the one the pixels use.
void FillDefaultPalette(VIDEOINFO* vi) {
  HDC screen = GetDC(nullptr);
  HBITMAP probe = CreateCompatibleBitmap(screen, 1, 1);
  GetDIBits(screen, probe, 0, 1, nullptr, reinterpret_cast<BITMAPINFO*>(&vi->bmiHeader), DIB_RGB_COLORS);
  DeleteObject(probe);
  ReleaseDC(nullptr, screen);
}

bool IsRgbSubtype(REFGUID subtype) {
  return subtype == MEDIASUBTYPE_RGB8 || subtype == MEDIASUBTYPE_RGB565 || subtype == MEDIASUBTYPE_RGB555 ||
         subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32;
}

}  // namespace

RECT FitPictureRect(int W, int H, int w, int h) {
  const float fw = float(w), fh = float(h);
  if (float(H) / fh < float(W) / fw) {
    const float half = fw * float(H) / fh / 2.0f;
    return RECT{LONG(float(W / 2) - half), 0, LONG(float(W / 2) + half), H};
  }
  const float half = fh * float(W) / fw / 2.0f;
  return RECT{0, LONG(float(H / 2) - half), W, LONG(float(H / 2) + half)};
}

CPushPinVideo::CPushPinVideo(HRESULT* result, CSource* filter, int width, int height, int fps)
    : CSourceStream(L"PushPinVideo", result, filter, L"Out"),
      frameLength_(fps > 0 ? kUnitsPerSecond / fps : kUnitsPerSecond),
      width_(width),
      height_(height) {}

void CPushPinVideo::SetPreview(CShowVideoPro* preview) {
  CAutoLock lock(&sharedState_);
  preview_ = preview;
}

HRESULT CPushPinVideo::Notify(IBaseFilter*, Quality) { return E_FAIL; }

HRESULT CPushPinVideo::GetMediaType(int position, CMediaType* type) {
  if (!type) return E_POINTER;
  CAutoLock lock(m_pFilter->pStateLock());
  if (position < 0) return E_INVALIDARG;
  if (position > 4) return VFW_S_NO_MORE_ITEMS;
  *type = CMediaType();
  auto* vi = reinterpret_cast<VIDEOINFO*>(type->AllocFormatBuffer(sizeof(VIDEOINFO)));
  if (!vi) return E_OUTOFMEMORY;
  std::memset(vi, 0, sizeof(VIDEOINFO));
  BITMAPINFOHEADER& bih = vi->bmiHeader;
  static constexpr struct {
    WORD bits;
    DWORD compression;
    DWORD masks[3];
  } kTypes[5] = {{32, BI_RGB, {}},
                 {24, BI_RGB, {}},
                 {16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
                 {16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F}},
                 {8, BI_RGB, {}}};
  const auto& t = kTypes[position];
  bih.biSize = sizeof(BITMAPINFOHEADER);
  if (t.bits == 8) {
    bih.biBitCount = 8;
    FillDefaultPalette(vi);
  }
  bih.biWidth = width_;
  bih.biHeight = height_;
  bih.biPlanes = 1;
  bih.biBitCount = t.bits;
  bih.biCompression = t.compression;
  if (t.compression == BI_BITFIELDS) std::copy(t.masks, t.masks + 3, vi->TrueColorInfo.dwBitMasks);
  if (t.bits == 8) bih.biClrUsed = 256;
  bih.biSizeImage = GetBitmapSize(&bih);
  const GUID subtype = GetBitmapSubtype(&bih);
  type->SetType(&MEDIATYPE_Video);
  type->SetFormatType(&FORMAT_VideoInfo);
  type->SetTemporalCompression(FALSE);
  type->SetSubtype(&subtype);
  type->SetSampleSize(bih.biSizeImage);
  return S_OK;
}

HRESULT CPushPinVideo::CheckMediaType(const CMediaType* type) {
  if (!type) return E_POINTER;
  if (type->majortype != MEDIATYPE_Video || !type->bFixedSizeSamples || !IsRgbSubtype(type->subtype))
    return E_INVALIDARG;
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(*type);
  if (!vih || vih->bmiHeader.biWidth != width_ || vih->bmiHeader.biHeight != height_) return E_INVALIDARG;
  return S_OK;
}

HRESULT CPushPinVideo::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
  if (!allocator || !props) return E_POINTER;
  CAutoLock lock(m_pFilter->pStateLock());
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(CurrentMediaType());
  if (!vih) return E_UNEXPECTED;
  props->cBuffers = 1;
  props->cbBuffer = long(vih->bmiHeader.biSizeImage);
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(props, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < props->cbBuffer ? E_FAIL : S_OK;
}

HRESULT CPushPinVideo::SetMediaType(const CMediaType* type) {
  if (!type) return E_POINTER;
  CAutoLock lock(m_pFilter->pStateLock());
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(*type);
  if (!vih) return E_UNEXPECTED;
  const WORD bits = vih->bmiHeader.biBitCount;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return E_INVALIDARG;
  HRESULT hr = CSourceStream::SetMediaType(type);
  if (FAILED(hr)) return hr;
  currentBitDepth_ = bits;
  mediaType_ = *type;
  return S_OK;
}

HRESULT CPushPinVideo::FillBuffer(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  CAutoLock lock(&sharedState_);
  BYTE* bits = nullptr;
  sample->GetPointer(&bits);
  // The agreed bitmap header, with room for masks or palette behind it.
  VIDEOINFO vi{};
  std::memcpy(&vi, mediaType_.pbFormat, std::min<size_t>(mediaType_.cbFormat, sizeof(VIDEOINFO)));
  const int W = vi.bmiHeader.biWidth, H = vi.bmiHeader.biHeight;
  const long size = std::min<long>(long(GetBitmapSize(&vi.bmiHeader)), sample->GetSize());
  bool drawn = false;
  if (preview_) {
    CImage picture;
    preview_->GetImage(&picture);
    if (!picture.IsNull() && W > 0 && H > 0 && size == long(GetBitmapSize(&vi.bmiHeader))) {
      const RECT r = FitPictureRect(W, H, picture.GetWidth(), picture.GetHeight());
      HDC pictureDc = picture.GetDC();
      HDC memory = CreateCompatibleDC(pictureDc);
      HBITMAP bitmap = CreateCompatibleBitmap(pictureDc, W, H);
      HGDIOBJ old = SelectObject(memory, bitmap);
      // A fresh bitmap holds anything; the bars beside the picture are black.
      PatBlt(memory, 0, 0, W, H, BLACKNESS);
      SetStretchBltMode(memory, COLORONCOLOR);
      StretchBlt(memory, r.left, r.top, r.right - r.left, r.bottom - r.top, pictureDc, 0, 0, picture.GetWidth(),
                 picture.GetHeight(), SRCCOPY);
      SelectObject(memory, old);
      drawn = GetDIBits(memory, bitmap, 0, UINT(H), bits, reinterpret_cast<BITMAPINFO*>(&vi.bmiHeader),
                        DIB_RGB_COLORS) == H;
      DeleteObject(bitmap);
      DeleteDC(memory);
      picture.ReleaseDC();
    }
  }
  // No picture yet: a black frame rather than whatever the buffer held.
  if (!drawn) std::memset(bits, 0, size_t(std::max<long>(size, 0)));
  sample->SetActualDataLength(size);
  REFERENCE_TIME start = frameNumber_ * frameLength_;
  REFERENCE_TIME end = start + frameLength_;
  sample->SetTime(&start, &end);
  ++frameNumber_;
  sample->SetSyncPoint(TRUE);
  return S_OK;
}

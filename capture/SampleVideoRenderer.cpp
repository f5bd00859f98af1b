#include "capture/SampleVideoRenderer.h"

#include <cstdlib>
#include <cstring>

#include "capture/GrabData.h"
#include "platform/dshow/WindowBridge.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"

CFactoryTemplate g_Templates[] = {
    {CVideoRenderer::kName, &CLSID_SampleVideoRenderer, CVideoRenderer::CreateInstance, kSampleVideoRendererMerit},
};
int g_cTemplates = int(sizeof(g_Templates) / sizeof(g_Templates[0]));

// ---- drawing

bool CDrawVideo::SetRotation(int degrees) {
  const int turn = vqcapture::NormaliseQuarterTurn(degrees);
  if (turn < 0) return false;
  std::lock_guard lock(lock_);
  rotation_ = turn;
  return true;
}

void CDrawVideo::SetCallback(FrameCallback callback) {
  std::lock_guard lock(lock_);
  callback_ = std::move(callback);
}

void CDrawVideo::SetDetection(bool on) {
  std::lock_guard lock(lock_);
  detection_ = on;
  searchAllowed_ = true;
  documents_.clear();
}

void CDrawVideo::OnTimerTick() {
  std::lock_guard lock(lock_);
  searchAllowed_ = true;
}

void CDrawVideo::SetNotifyWindow(HWND window) {
  std::lock_guard lock(lock_);
  notifyWindow_ = window;
}

void CDrawVideo::ResetHolder() {
  std::lock_guard lock(lock_);
  holder_ = std::make_unique<CDPrgb24>();
}

cv::Mat CDrawVideo::HeldPicture() {
  std::lock_guard lock(lock_);
  return holder_->GetBuffer() ? holder_->GetMat() : cv::Mat();
}

bool CDrawVideo::DrawImage(IMediaSample* sample, const CMediaType& type) {
  const VIDEOINFOHEADER* vi = vq::dshow::VideoInfo(type);
  BYTE* data = nullptr;
  if (!sample || !vi || FAILED(sample->GetPointer(&data)) || !data) return false;
  const int width = vi->bmiHeader.biWidth, height = std::abs(vi->bmiHeader.biHeight);
  if (width <= 0 || height <= 0 || width > 32768 || height > 32768) return false;
  const size_t row = size_t(width) * 3, stride = (row + 3) & ~size_t(3);
  if (sample->GetActualDataLength() < 0 || size_t(sample->GetActualDataLength()) < stride * size_t(height))
    return false;
  // Packed bottom-up rows, as the holder keeps them.
  std::vector<BYTE> packed(row * size_t(height));
  const bool topDown = vi->bmiHeader.biHeight < 0;
  for (int y = 0; y < height; ++y)
    std::memcpy(packed.data() + row * size_t(topDown ? height - 1 - y : y), data + stride * size_t(y), row);

  std::lock_guard lock(lock_);
  if (!holder_->SetFrameRotated(packed.data(), width, height, rotation_)) return false;
  int heldWidth = 0, heldHeight = 0;
  holder_->GetSize(&heldWidth, &heldHeight);
  if (callback_) callback_(holder_->GetBuffer(), heldWidth, heldHeight, rotation_);
  if (detection_) {
    if (searchAllowed_) {
      documents_ = holder_->FindAndDrawDocuments(kDetectionMinArea);
      searchAllowed_ = false;
    } else {
      for (const auto& d : documents_) holder_->FindAndDrawDocument(false, d, kDetectionMinArea);
    }
  }
  if (HWND window = DrawWindow()) {
    const RECT target = GetTargetRect();
    ::InvalidateRect(window, &target, FALSE);
  }
  if (notifyWindow_) vq::dshow::PostWindowMessage(notifyWindow_, WM_VIDEO_SUB_FRAME, 0, 0);
  return true;
}

void CDrawVideo::Paint(HDC dc, const RECT& client) {
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  std::lock_guard lock(lock_);
  int width = 0, height = 0;
  if (!holder_->GetSize(&width, &height)) return;
  // The held rows, padded to whole words as a 24-bit bitmap wants them.
  const size_t row = size_t(width) * 3, stride = (row + 3) & ~size_t(3);
  std::vector<BYTE> bits(stride * size_t(height));
  for (int y = 0; y < height; ++y) std::memcpy(bits.data() + stride * size_t(y), holder_->GetBuffer() + row * size_t(y), row);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as held
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HBITMAP bitmap = CreateDIBitmap(dc, &info.bmiHeader, CBM_INIT, bits.data(), &info, DIB_RGB_COLORS);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  const RECT target = GetTargetRect();
  const int targetWidth = target.right - target.left, targetHeight = target.bottom - target.top;
  if (targetWidth == width && targetHeight == height) {
    BitBlt(dc, target.left, target.top, width, height, memory, 0, 0, SRCCOPY);
  } else {
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, target.left, target.top, targetWidth, targetHeight, memory, 0, 0, width, height, SRCCOPY);
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(bitmap);
}

// ---- input pin

CVideoInputPin::CVideoInputPin(CVideoRenderer* renderer, HRESULT* result)
    : CRendererInputPin(renderer, result, L"Input"), owner_(renderer) {}

HRESULT CVideoInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  *allocator = owner_->ImageAllocator();
  (*allocator)->AddRef();
  return S_OK;
}

HRESULT CVideoInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  HRESULT hr = CRendererInputPin::NotifyAllocator(allocator, readOnly);
  if (SUCCEEDED(hr)) owner_->Drawing().NotifyAllocator(allocator == owner_->ImageAllocator());
  return hr;
}

// ---- window control

CMVideoControl::CMVideoControl(CVideoRenderer* renderer, CDrawVideo* draw)
    : CBaseControlWindow(renderer), CBaseControlVideo(renderer), draw_(draw) {}

void CMVideoControl::OnSize(int width, int height) {
  draw_->SetTargetRect(RECT{0, 0, width, height});
  // The held picture is drawn again into the new target.
  if (HWND window = GetWindowHWND()) ::InvalidateRect(window, nullptr, FALSE);
}

void CMVideoControl::OnPaint(HDC dc, const RECT& client) { draw_->Paint(dc, client); }

void CMVideoControl::OnDisplayChange() {
  draw_->RefreshDisplayFormat();
  if (HWND window = GetWindowHWND()) ::InvalidateRect(window, nullptr, TRUE);
}

// ---- renderer

IUnknown* CVideoRenderer::CreateInstance(IUnknown* outer, HRESULT* result) {
  auto* renderer = new CVideoRenderer(outer, result);
  return static_cast<IBaseFilter*>(renderer);
}

CVideoRenderer::CVideoRenderer(IUnknown*, HRESULT* result)
    : CBaseVideoRenderer(CLSID_SampleVideoRenderer, kName, &lock_),
      input_(this, result),
      control_(this, &draw_),
      imageAllocator_(CMemAllocator::Create()) {
  control_.PrepareWindow(CMVideoControl::kWindowClass, CMVideoControl::kClassStyle, CMVideoControl::kWindowStyle, kName);
  draw_.SetDrawWindow(control_.GetWindowHWND());
  draw_.RefreshDisplayFormat();
}

CVideoRenderer::~CVideoRenderer() {
  // The window's thread calls into the control and the drawing: it ends first.
  control_.DoneWithWindow();
  input_.BreakConnect();
  imageAllocator_->Release();
}

HRESULT CVideoRenderer::CheckMediaType(const CMediaType* type) {
  if (!type || *type->Type() != MEDIATYPE_Video || *type->Subtype() != MEDIASUBTYPE_RGB24)
    return VFW_E_TYPE_NOT_ACCEPTED;
  const VIDEOINFOHEADER* vi = vq::dshow::VideoInfo(*type);
  if (!vi || vi->bmiHeader.biBitCount != 24) return VFW_E_TYPE_NOT_ACCEPTED;
  if (!typeRecorded_) {
    typeRecorded_ = true;
    recordedType_ = MEDIATYPE_Video;
    draw_.ResetHolder();
  }
  return S_OK;
}

HRESULT CVideoRenderer::SetMediaType(const CMediaType* type) {
  if (!type) return E_POINTER;
  mediaType_ = *type;
  return S_OK;
}

HRESULT CVideoRenderer::CompleteConnect(IPin*) {
  draw_.ResetPaletteVersion();
  const VIDEOINFOHEADER* vi = vq::dshow::VideoInfo(mediaType_);
  if (!vi) return VFW_E_TYPE_NOT_ACCEPTED;
  const int width = vi->bmiHeader.biWidth, height = std::abs(vi->bmiHeader.biHeight);
  if (width != lastWidth_ || height != lastHeight_) {
    draw_.ResetDrawContext();
    lastWidth_ = width;
    lastHeight_ = height;
    control_.SetVideoSize(width, height);
    control_.SetDefaultSourceRect();
    control_.SetDefaultTargetRect();
    draw_.SetTargetRect(control_.GetTargetRect());
    control_.OnVideoSizeChange();
    control_.SetDefaultWindowSize(width, height);
    control_.ActivateWindow();
  }
  return S_OK;
}

HRESULT CVideoRenderer::DoRenderSample(IMediaSample* sample) {
  return draw_.DrawImage(sample, mediaType_) ? S_OK : E_INVALIDARG;
}

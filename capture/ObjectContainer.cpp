#include "capture/ObjectContainer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <opencv2/core.hpp>

#include "capture/ViewRendering.h"
#include "platform/display/Cursors.h"
#include "platform/mfc/CImageDraw.h"

namespace {

constexpr COLORREF kBackground = RGB(243, 243, 243);

}  // namespace

BEGIN_MESSAGE_MAP(CObjectContainer, CStatic)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONUP()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_MOUSEWHEEL()
  ON_MESSAGE(WM_PREVIEW_COPY_OUT, OnCopyOut)
  ON_MESSAGE(WM_CANVAS_SHOW_IMAGE, OnShowImage)
END_MESSAGE_MAP()

CObjectContainer::~CObjectContainer() {
  DeleteOverlay(&m_selection);
  DeleteOverlay(&m_subImageBox);
  DeleteOverlay(&m_waterMark);
  m_picture.Destroy();
  m_viewBuffer.Destroy();
  m_cleanView.Destroy();
  ReleaseMemoryDC();
}

template <typename T>
void CObjectContainer::DeleteOverlay(T** slot) {
  if (!*slot) return;
  if (m_active == *slot) m_active = nullptr;
  delete *slot;
  *slot = nullptr;
}

// ---- Window messages ----

int CObjectContainer::OnCreate(LPCREATESTRUCT) {
  if (Default() == -1) return -1;
  CreateMemoryDC();
  return 0;
}

void CObjectContainer::PreSubclassWindow() {
  CStatic::PreSubclassWindow();
  if (m_memoryDC.GetSafeHdc()) return;
  CreateMemoryDC();
  CRect client;
  GetClientRect(&client);
  Resize(client.Width(), client.Height());
}

void CObjectContainer::CreateMemoryDC() {
  CClientDC dc(this);
  if (!m_memoryDC.CreateCompatibleDC(&dc)) return;
  m_memoryDC.SetStretchBltMode(HALFTONE);
}

void CObjectContainer::ReleaseMemoryDC() {
  if (m_memoryDC.GetSafeHdc() && m_initialBitmap) m_memoryDC.SelectObject(m_initialBitmap);
  m_initialBitmap = nullptr;
  m_memoryDC.DeleteDC();
  m_memoryBitmap.DeleteObject();
}

void CObjectContainer::OnSize(UINT, int cx, int cy) {
  Default();
  Resize(cx, cy);
}

void CObjectContainer::Resize(int cx, int cy) {
  m_clientSize = CPoint(cx, cy);
  m_client = CRect(0, 0, cx, cy);
  CreateBuffers(cx, cy);
  if (!HasPicture()) return;
  m_fitZoom = vqcapture::FitZoom(PictureSize(), m_client.Size());
  if (m_fitMode) {
    m_zoom = m_fitZoom;
    LayOut(ClientCentre(), CPoint(m_picture.GetWidth() / 2, m_picture.GetHeight() / 2));
    DrawFitted();
  } else {
    vqcapture::ViewRects view = vqcapture::ResizeView(m_source, PictureSize(), m_zoom, m_client.Size());
    m_source = view.source;
    m_destination = view.destination;
    DrawZoomed();
  }
}

void CObjectContainer::CreateBuffers(int cx, int cy) {
  // At least as tall as wide, as the view buffers always were.
  const int width = std::max(cx, 1), height = std::max(width, cy);
  m_viewBuffer.Destroy();
  m_cleanView.Destroy();
  m_viewBuffer.Create(width, -height, 24);
  m_cleanView.Create(width, -height, 24);
  // The memory bitmap follows the client area, so a canvas larger than
  // the primary screen is not cut off.
  if (!m_memoryDC.GetSafeHdc()) return;
  if (m_initialBitmap) m_memoryDC.SelectObject(m_initialBitmap);
  m_initialBitmap = nullptr;
  m_memoryBitmap.DeleteObject();
  CClientDC dc(this);
  if (m_memoryBitmap.CreateCompatibleBitmap(&dc, width, height))
    m_initialBitmap = m_memoryDC.SelectObject(&m_memoryBitmap);
}

void CObjectContainer::OnPaint() {
  CPaintDC dc(this);
  if (!m_memoryDC.GetSafeHdc() || !m_memoryBitmap.GetSafeHandle()) return;
  CBrush background(kBackground);
  CGdiObject* oldPen = m_memoryDC.SelectStockObject(BLACK_PEN);
  CBrush* oldBrush = m_memoryDC.SelectObject(&background);
  // The pen falls outside the client area.
  m_memoryDC.Rectangle(-1, -1, m_clientSize.x + 1, m_clientSize.y + 1);
  m_memoryDC.SelectObject(static_cast<HGDIOBJ>(oldPen ? oldPen->m_hObject : nullptr));
  m_memoryDC.SelectObject(oldBrush);
  if (HasPicture() && m_zoom > 0 && !m_viewBuffer.IsNull()) {
    const int width = m_destination.Width(), height = m_destination.Height();
    vqcapture::CopyImagePixels(m_cleanView, m_viewBuffer, 0, 0, width, height);
    // The selection is drawn last, on top; the mouse tries it last.
    for (CDrawObject* overlay : {static_cast<CDrawObject*>(m_subImageBox), static_cast<CDrawObject*>(m_waterMark),
                                 static_cast<CDrawObject*>(m_selection)})
      if (overlay) overlay->Draw(&m_viewBuffer, m_source, m_zoom);
    vqplatform::ImageBitBlt(m_viewBuffer, m_memoryDC, m_destination.left, m_destination.top, width, height, 0, 0);
  }
  dc.BitBlt(0, 0, m_clientSize.x, m_clientSize.y, &m_memoryDC, 0, 0, SRCCOPY);
}

void CObjectContainer::OnLButtonDown(UINT flags, CPoint point) {
  m_lastMouse = point;
  m_dragging = true;
  if (m_zoom > 0 && m_client.PtInRect(point)) {
    const POINT p = vqcapture::WindowToScaled(point, {m_source, m_destination});
    CDrawObject* order[] = {m_subImageBox, m_waterMark, m_selection};
    for (CDrawObject* overlay : order) {
      if (!overlay) continue;
      if (overlay->OnLButtonDown(flags, p.x, p.y, m_zoom)) {
        m_active = overlay;
        for (CDrawObject* other : order)
          if (other && other != overlay) other->SetSelected(false);
        break;
      }
      overlay->SetSelected(false);
      InvalidateRect(&m_destination, FALSE);
    }
  }
  SetCapture(m_hWnd);
  SetFocus();
  Default();
}

void CObjectContainer::OnMouseMove(UINT flags, CPoint point) {
  if (m_active && m_zoom > 0) {
    const POINT p = vqcapture::WindowToScaled(point, {m_source, m_destination});
    m_active->OnMouseMove(flags, p.x, p.y, m_zoom);
    if (m_active->HitTest(p.x, p.y, m_zoom)) {
      m_lastMouse = point;
      Default();
      return;
    }
  }
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  if (m_dragging && !m_fitMode && HasPicture()) {
    CRect moved = m_source;
    moved.OffsetRect(-(point.x - m_lastMouse.x), -(point.y - m_lastMouse.y));
    vqcapture::ClampSource(&moved, PictureSize(), m_zoom);
    if (moved != m_source) {
      ScrollView(moved);
      m_source = moved;
      InvalidateRect(&m_destination, FALSE);
    }
  }
  m_lastMouse = point;
  Default();
}

void CObjectContainer::OnLButtonUp(UINT flags, CPoint point) {
  m_dragging = false;
  if (m_active && m_zoom > 0) {
    const POINT p = vqcapture::WindowToScaled(point, {m_source, m_destination});
    m_active->OnLButtonUp(flags, p.x, p.y, m_zoom);
    InvalidateRect(&m_destination, FALSE);
  }
  ReleaseCapture();
  Default();
}

void CObjectContainer::OnLButtonDblClk(UINT, CPoint) {
  if (m_selection) m_selection->SetSelected(false);
  if (HWND parent = ::GetParent(m_hWnd)) ::PostMessageW(parent, WM_PREVIEW_DBLCLK, 0, 0);
  Default();
}

BOOL CObjectContainer::OnMouseWheel(UINT, short delta, CPoint point) {
  CRect screen = m_client;
  ClientToScreen(&screen);
  if (screen.PtInRect(point) && HasPicture() && m_client.PtInRect(m_lastMouse)) {
    const vqcapture::ViewRects view{m_source, m_destination};
    CPoint clientAnchor = ClientCentre();
    CPoint imageAnchor(m_picture.GetWidth() / 2, m_picture.GetHeight() / 2);
    if (m_destination.PtInRect(m_lastMouse)) {
      clientAnchor = m_lastMouse;
      imageAnchor = vqcapture::WindowToImage(m_lastMouse, view, m_zoom);
    }
    vqcapture::ZoomLevel level{m_zoom, m_fitMode};
    if (delta > 0)
      vqcapture::ZoomInStep(&level, m_fitZoom);
    else if (delta < 0)
      vqcapture::ZoomOutStep(&level, m_fitZoom);
    m_zoom = level.zoom;
    m_fitMode = level.fitMode;
    LayOut(clientAnchor, imageAnchor);
    DrawView();
    Invalidate(TRUE);
  }
  return static_cast<BOOL>(Default());
}

LRESULT CObjectContainer::OnCopyOut(WPARAM, LPARAM lParam) {
  return RenderOverlays(reinterpret_cast<CImage*>(lParam)) ? 0 : 1;
}

LRESULT CObjectContainer::OnShowImage(WPARAM wParam, LPARAM lParam) {
  if (!wParam) return 1;
  if (lParam == 0)
    SetImage(*reinterpret_cast<const cv::Mat*>(wParam));
  else
    SetSubImage(reinterpret_cast<const BYTE*>(wParam), LOWORD(lParam), HIWORD(lParam));
  return 0;
}

// ---- Frames and the view ----

void CObjectContainer::SetImage(const cv::Mat& frame) {
  if (frame.empty()) return;
  cv::Mat bgr;
  if (frame.type() == CV_8UC1)
    cv::merge(std::vector<cv::Mat>{frame, frame, frame}, bgr);
  else if (frame.type() == CV_8UC3)
    bgr = frame;
  else
    return;  // no row of another layout is read as blue-green-red
  if (m_picture.IsNull() || m_picture.GetWidth() != bgr.cols || m_picture.GetHeight() != bgr.rows) {
    m_picture.Destroy();
    if (!m_picture.Create(bgr.cols, -bgr.rows, 24)) return;
    m_zoom = -1.0f;
  }
  bgr.copyTo(vqcapture::WrapImage(m_picture));
  if (m_zoom < 0) {
    m_fitZoom = vqcapture::FitZoom(PictureSize(), m_client.Size());
    m_zoom = m_fitZoom;
    m_fitMode = true;
    LayOut(ClientCentre(), CPoint(m_picture.GetWidth() / 2, m_picture.GetHeight() / 2));
    DrawFitted();
    if (m_hWnd) Invalidate(TRUE);
  } else {
    DrawView();
  }
  if (m_hWnd) Invalidate(FALSE);
}

void CObjectContainer::LayOut(POINT clientAnchor, POINT imageAnchor) {
  vqcapture::ViewRects view = vqcapture::ComputeView(PictureSize(), m_zoom, clientAnchor, imageAnchor, m_client);
  m_source = view.source;
  m_destination = view.destination;
}

void CObjectContainer::DrawView() {
  if (m_fitMode)
    DrawFitted();
  else
    DrawZoomed();
}

void CObjectContainer::DrawFitted() {
  if (m_viewBuffer.IsNull() || !HasPicture()) return;
  vqcapture::RenderWholePicture(m_picture, m_zoom, m_viewBuffer, m_cleanView);
}

bool CObjectContainer::DrawZoomed() {
  if (!vqcapture::IsZoomStep(m_zoom) || m_viewBuffer.IsNull() || !HasPicture()) return false;
  DrawStrip(m_source, POINT{0, 0});
  vqcapture::CopyImagePixels(m_viewBuffer, m_cleanView, 0, 0, m_source.Width(), m_source.Height());
  return true;
}

bool CObjectContainer::DrawStrip(const RECT& part, POINT at) {
  return vqcapture::RenderScaledPart(m_picture, part, m_zoom, at, m_viewBuffer);
}

bool CObjectContainer::ScrollView(const RECT& newSource) {
  // The overlap moves; only the newly exposed strips are scaled.
  return vqcapture::ScrollRendered(m_picture, m_source, newSource, m_zoom, m_viewBuffer, m_cleanView);
}

void CObjectContainer::ZoomIn() { StepZoom(vqcapture::ZoomInStep); }

void CObjectContainer::ZoomOut() { StepZoom(vqcapture::ZoomOutStep); }

void CObjectContainer::StepZoom(bool (*step)(vqcapture::ZoomLevel*, float)) {
  if (!HasPicture()) return;
  const POINT imageAnchor = vqcapture::SourceCentreInImage(m_source, m_zoom);
  vqcapture::ZoomLevel level{m_zoom, m_fitMode};
  if (!step(&level, m_fitZoom)) return;
  m_zoom = level.zoom;
  m_fitMode = level.fitMode;
  LayOut(ClientCentre(), imageAnchor);
  DrawView();
  if (m_hWnd) Invalidate(TRUE);
  TellOverlaysZoom();
}

void CObjectContainer::TellOverlaysZoom() {
  for (CDrawObject* overlay : {static_cast<CDrawObject*>(m_selection), static_cast<CDrawObject*>(m_subImageBox),
                               static_cast<CDrawObject*>(m_waterMark)})
    if (overlay) overlay->SetZoom(m_zoom);
}

bool CObjectContainer::Rotate90() { return Turn(1); }
bool CObjectContainer::Rotate180() { return Turn(2); }
bool CObjectContainer::Rotate270() { return Turn(3); }

bool CObjectContainer::Turn(int quarterTurns) {
  if (!HasPicture()) return true;
  const int w = m_picture.GetWidth(), h = m_picture.GetHeight();
  const RECT before{0, 0, w, h};
  POINT anchor = vqcapture::SourceCentreInImage(m_source, m_zoom);
  cv::Mat turned;
  if (quarterTurns == 1) {
    if (m_selection) m_selection->RotatePoints90(before);
    cv::rotate(vqcapture::WrapImage(m_picture), turned, cv::ROTATE_90_CLOCKWISE);
    vqcapture::TurnClockwise<LONG>(&anchor.x, &anchor.y, w, h);
  } else if (quarterTurns == 3) {
    if (m_selection) m_selection->RotatePoints270(before);
    cv::rotate(vqcapture::WrapImage(m_picture), turned, cv::ROTATE_90_COUNTERCLOCKWISE);
    vqcapture::TurnCounterClockwise<LONG>(&anchor.x, &anchor.y, w, h);
  } else {
    if (m_selection) m_selection->RotatePoints180(before);
    cv::rotate(vqcapture::WrapImage(m_picture), turned, cv::ROTATE_180);
    vqcapture::TurnHalf<LONG>(&anchor.x, &anchor.y, w, h);
  }
  m_picture.Destroy();
  if (!m_picture.Create(turned.cols, -turned.rows, 24)) return true;
  turned.copyTo(vqcapture::WrapImage(m_picture));
  // Nothing is drawn here: the next frame, already turned, draws the view
  // at the kept zoom and pan.
  m_fitZoom = vqcapture::FitZoom(PictureSize(), m_client.Size());
  if (m_fitMode) m_zoom = m_fitZoom;
  LayOut(ClientCentre(), anchor);
  return true;
}

// ---- Overlays ----

void CObjectContainer::AddSelection() {
  DeleteOverlay(&m_selection);
  m_selection = new CTrackRectangle;
  m_selection->SetOwner(this);
  m_active = m_selection;
}

bool CObjectContainer::SetSelection(RECT rect, bool constrained) {
  AddSelection();
  m_selection->SetRect(rect.left, rect.top, rect.right, rect.bottom, constrained);
  return true;
}

bool CObjectContainer::GetSelection(RECT* out) {
  if (!m_selection || !out) return false;
  *out = m_selection->GetRect();
  return true;
}

void CObjectContainer::RemoveSelection() { DeleteOverlay(&m_selection); }

bool CObjectContainer::AddSubImageBox(RECT rect) {
  if (!m_subImageBox) {
    m_subImageBox = new CSubImageBox;
    m_subImageBox->SetOwner(this);
  }
  m_subImageBox->SetRect(rect.left, rect.top, rect.right, rect.bottom, false);
  return true;
}

void CObjectContainer::RemoveSubImageBox() { DeleteOverlay(&m_subImageBox); }

void CObjectContainer::SetSubImage(const BYTE* pixels, int width, int height) {
  if (m_subImageBox) m_subImageBox->SetSubImage(pixels, width, height);
}

bool CObjectContainer::AddWaterMark(WaterMarkParams params) {
  if (!m_waterMark) {
    m_waterMark = new CWaterMarkObject;
    m_waterMark->SetOwner(this);
  }
  m_waterMark->SetParams(std::move(params));
  return true;
}

void CObjectContainer::RemoveWaterMark() { DeleteOverlay(&m_waterMark); }

void CObjectContainer::SetWaterMarkObject(CWaterMarkObject* mark) {
  DeleteOverlay(&m_waterMark);
  m_waterMark = mark;
  if (mark) mark->SetOwner(this);
}

bool CObjectContainer::QueryObject(int kind, void* out) {
  if (!out) return false;
  switch (kind) {
    case kSelection: return GetSelection(static_cast<RECT*>(out));
    case kSubImageBox:
      if (!m_subImageBox) return false;
      *static_cast<RECT*>(out) = m_subImageBox->GetRect();
      return true;
    case kWaterMark:
      if (!m_waterMark) return false;
      *static_cast<WaterMarkParams*>(out) = m_waterMark->GetParams();
      return true;
    default: return false;
  }
}

void CObjectContainer::InvalidateImageRect(RECT scaled) {
  if (!m_hWnd) return;
  CRect r = scaled;
  r.OffsetRect(m_destination.left - m_source.left, m_destination.top - m_source.top);
  InvalidateRect(&r, FALSE);
}

bool CObjectContainer::RenderOverlays(CImage* picture) {
  if (!picture || picture->IsNull()) return false;
  if (m_subImageBox) m_subImageBox->DrawSubImage(picture);
  if (m_waterMark) {
    // Copies carry the mark without its handles.
    bool selected = m_waterMark->SetSelected(false);
    m_waterMark->Draw(picture, RECT{0, 0, picture->GetWidth(), picture->GetHeight()}, 1.0f);
    m_waterMark->SetSelected(selected);
  }
  return true;
}

#include "twain/ZoomImageView.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "capture/ViewRendering.h"
#include "platform/display/Cursors.h"
#include "platform/mfc/CImageDraw.h"

namespace strenvik {
namespace {

SIZE SizeOf(const CImage& image) { return SIZE{image.GetWidth(), image.GetHeight()}; }

// Any matrix as 8-bit blue-green-red: one channel as grey, two as grey with
// alpha, four without the alpha; deeper matrices scaled down to 8 bits.
cv::Mat ToBgr(const cv::Mat& page) {
  cv::Mat bytes = page;
  if (page.depth() != CV_8U) {
    double low = 0, high = 0;
    cv::minMaxLoc(page.reshape(1), &low, &high);
    const double scale = page.depth() == CV_16U ? 1.0 / 257 : high > 255 ? 255.0 / high : 1.0;
    page.convertTo(bytes, CV_8U, scale);
  }
  cv::Mat bgr;
  switch (bytes.channels()) {
    case 1: cv::cvtColor(bytes, bgr, cv::COLOR_GRAY2BGR); break;
    case 2: {
      std::vector<cv::Mat> planes;
      cv::split(bytes, planes);
      cv::cvtColor(planes[0], bgr, cv::COLOR_GRAY2BGR);
      break;
    }
    case 3: bgr = bytes; break;
    case 4: cv::cvtColor(bytes, bgr, cv::COLOR_BGRA2BGR); break;
    default: break;
  }
  return bgr;
}

}  // namespace

float CZoomImageView::ComputeFitZoom(const CImage& source, const RECT& client) {
  if (source.IsNull() || client.right - client.left < 1) return 1.0f;
  return vqcapture::FitZoom(SizeOf(source), SIZE{client.right - client.left, client.bottom - client.top});
}

void CZoomImageView::Layout(int clientX, int clientY, int imageX, int imageY, const RECT& client,
                            const CImage& source, float zoom, RECT* destination, RECT* view) {
  if (zoom < 0) zoom = 1.0f;
  const int w = source.GetWidth(), h = source.GetHeight();
  POINT image{imageX, imageY};
  if (imageX < 0 || imageX > w || imageY < 0 || imageY > h) image = POINT{w / 2, h / 2};
  POINT anchor{clientX, clientY};
  if (clientX < 0 || clientX > client.right - client.left || clientY < 0 || clientY > client.bottom - client.top)
    anchor = POINT{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
  const vqcapture::ViewRects rects = vqcapture::ComputeView(SizeOf(source), zoom, anchor, image, client);
  *destination = rects.destination;
  *view = rects.source;
}

void CZoomImageView::ClampView(RECT* view, const CImage& source, float zoom) {
  vqcapture::ClampSource(view, SizeOf(source), zoom);
}

void CZoomImageView::ClientToView(int x, int y, POINT* out, const RECT& view, const RECT& destination) {
  *out = vqcapture::WindowToScaled(POINT{x, y}, {view, destination});
}

void CZoomImageView::LayoutAroundCentre() {
  const CPoint centre = m_client.CenterPoint();
  Layout(centre.x, centre.y, m_source.GetWidth() / 2, m_source.GetHeight() / 2, m_client, m_source, m_zoom,
         &m_destination, &m_view);
}

void CZoomImageView::Invalidate(const RECT* area, bool erase) {
  if (m_host && m_host->GetSafeHwnd()) m_host->InvalidateRect(area, erase ? TRUE : FALSE);
}

void CZoomImageView::TellOverlayZoom() {
  if (m_overlay) m_overlay->SetZoom(m_zoom);
}

void CZoomImageView::Render() {
  if (m_fitMode)
    vqcapture::RenderWholePicture(m_source, m_zoom, m_display, m_clean);
  else
    RenderView();
}

bool CZoomImageView::RenderView() {
  if (!IsZoomLevel(m_zoom) || m_display.IsNull() || !HasSource()) return false;
  if (!vqcapture::RenderScaledPart(m_source, m_view, m_zoom, POINT{0, 0}, m_display)) return false;
  vqcapture::CopyImagePixels(m_display, m_clean, 0, 0, m_view.Width(), m_view.Height());
  return true;
}

void CZoomImageView::SetImage(const cv::Mat& page) {
  if (page.empty()) return;
  const cv::Mat bgr = ToBgr(page);
  if (bgr.empty()) return;
  if (m_source.IsNull() || m_source.GetWidth() != bgr.cols || m_source.GetHeight() != bgr.rows ||
      m_source.GetBPP() != 24) {
    m_source.Destroy();
    if (!m_source.Create(bgr.cols, -bgr.rows, 24)) return;
    m_zoom = -1.0f;
  }
  bgr.copyTo(vqcapture::WrapImage(m_source));
  if (m_zoom < 0) {
    m_fitZoom = ComputeFitZoom(m_source, m_client);
    m_zoom = m_fitZoom;
    m_fitMode = true;
    LayoutAroundCentre();
    vqcapture::RenderWholePicture(m_source, m_zoom, m_display, m_clean);
    Invalidate(&m_client, true);
  } else {
    Render();
  }
  Invalidate(&m_client, false);
}

void CZoomImageView::Resize(UINT, int cx, int cy) {
  m_client = CRect(0, 0, cx, cy);
  m_display.Destroy();
  m_clean.Destroy();
  m_display.Create(std::max(1, cx), -std::max(1, cy), 24);
  m_clean.Create(std::max(1, cx), -std::max(1, cy), 24);
  if (!HasSource()) return;
  m_fitZoom = ComputeFitZoom(m_source, m_client);
  if (m_fitMode) {
    m_zoom = m_fitZoom;
    LayoutAroundCentre();
    vqcapture::RenderWholePicture(m_source, m_zoom, m_display, m_clean);
    return;
  }
  const vqcapture::ViewRects rects = vqcapture::ResizeView(m_view, SizeOf(m_source), m_zoom, SIZE{cx, cy});
  m_view = rects.source;
  m_destination = rects.destination;
  RenderView();
}

void CZoomImageView::ShowActualSize() {
  if (!HasSource()) return;
  m_zoom = 1.0f;
  m_fitMode = m_fitZoom == 1.0f;
  LayoutAroundCentre();
  Render();
  Invalidate(&m_client, false);
  TellOverlayZoom();
}

void CZoomImageView::FitToWindow() {
  if (!HasSource()) return;
  m_fitMode = true;
  m_zoom = m_fitZoom;
  LayoutAroundCentre();
  vqcapture::RenderWholePicture(m_source, m_zoom, m_display, m_clean);
  Invalidate(&m_client, false);
  TellOverlayZoom();
}

void CZoomImageView::OnMouseWheel(UINT, short delta, int, int) {
  if (!HasSource() || !m_client.PtInRect(m_lastMouse)) return;
  CPoint clientAnchor = m_client.CenterPoint();
  POINT imageAnchor{m_source.GetWidth() / 2, m_source.GetHeight() / 2};
  if (m_destination.PtInRect(m_lastMouse)) {
    clientAnchor = m_lastMouse;
    imageAnchor = vqcapture::WindowToImage(m_lastMouse, {m_view, m_destination}, m_zoom);
  }
  vqcapture::ZoomLevel level{m_zoom, m_fitMode};
  const bool changed = delta > 0 ? vqcapture::ZoomInStep(&level, m_fitZoom) : vqcapture::ZoomOutStep(&level, m_fitZoom);
  if (!changed) return;
  m_zoom = level.zoom;
  m_fitMode = level.fitMode;
  Layout(clientAnchor.x, clientAnchor.y, imageAnchor.x, imageAnchor.y, m_client, m_source, m_zoom, &m_destination,
         &m_view);
  Render();
  Invalidate(&m_client, true);
  TellOverlayZoom();
}

void CZoomImageView::OnLButtonDown(UINT flags, int x, int y) {
  m_lastMouse = CPoint(x, y);
  if (!m_client.PtInRect(m_lastMouse)) return;
  m_dragging = true;
  if (m_overlay) {
    POINT p{};
    ClientToView(x, y, &p, m_view, m_destination);
    if (!m_overlay->OnLButtonDown(flags, p.x, p.y, m_zoom)) {
      m_overlay->SetVisible(false);
      Invalidate(&m_destination, false);
    }
  }
}

void CZoomImageView::OnMouseMove(UINT flags, int x, int y) {
  const CPoint point(x, y);
  if (m_overlay) {
    POINT p{};
    ClientToView(x, y, &p, m_view, m_destination);
    m_overlay->OnMouseMove(flags, p.x, p.y, m_zoom);
    if (m_overlay->HitTest(p.x, p.y, m_zoom)) {
      m_lastMouse = point;
      return;
    }
  }
  SetCursor(LoadCursor(nullptr, IDC_ARROW));
  if (m_dragging && !m_fitMode && HasSource()) {
    CRect moved = m_view;
    moved.OffsetRect(-(point.x - m_lastMouse.x), -(point.y - m_lastMouse.y));
    ClampView(&moved, m_source, m_zoom);
    if (moved != m_view) {
      vqcapture::ScrollRendered(m_source, m_view, moved, m_zoom, m_display, m_clean);
      m_view = moved;
      Invalidate(&m_destination, false);
    }
  }
  m_lastMouse = point;
}

void CZoomImageView::OnLButtonUp(UINT flags, int x, int y) {
  m_dragging = false;
  if (!m_overlay) return;
  POINT p{};
  ClientToView(x, y, &p, m_view, m_destination);
  m_overlay->OnLButtonUp(flags, p.x, p.y, m_zoom);
  Invalidate(&m_destination, false);
}

void CZoomImageView::Paint(CDC* dc) {
  if (!HasSource() || !dc || !dc->GetSafeHdc() || m_display.IsNull()) return;
  const int width = m_destination.Width(), height = m_destination.Height();
  vqcapture::CopyImagePixels(m_clean, m_display, 0, 0, width, height);
  if (m_overlay) m_overlay->Draw(&m_display, m_view.left, m_view.top, m_view.right, m_view.bottom, m_zoom);
  vqplatform::ImageBitBlt(m_display, dc->GetSafeHdc(), m_destination.left, m_destination.top, width, height, 0, 0);
}

void CZoomImageView::HideOverlay() {
  if (m_overlay) m_overlay->SetVisible(false);
}

}  // namespace strenvik

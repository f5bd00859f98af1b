#pragma once
// CZoomImageView: the engine of the data source's zoomable page view. It
// holds one page, fits it into the client area or shows it at one of the
// eleven zoom steps around the point under the mouse, pans by dragging and
// renders the visible part into two buffers (clean, and the one that is
// copied to the screen). The arithmetic is the preview canvas's.
#include <opencv2/core.hpp>

#include "capture/ViewGeometry.h"
#include "platform/mfc/CDC.h"
#include "platform/mfc/CImage.h"
#include "platform/mfc/CWnd.h"
#include "platform/mfc/Geometry.h"
#include "twain/VDrawObject.h"

namespace strenvik {

class CZoomImageView {
 public:
  CZoomImageView() = default;
  CZoomImageView(const CZoomImageView&) = delete;
  CZoomImageView& operator=(const CZoomImageView&) = delete;

  // The window invalidated after a change.
  void SetHost(CWnd* host) { m_host = host; }
  // Shows a page: one channel as grey, two and four channels and deeper
  // matrices converted; a page of the same size keeps zoom and panning.
  void SetImage(const cv::Mat& page);
  void Resize(UINT type, int cx, int cy);
  void ShowActualSize();
  void FitToWindow();
  void OnLButtonDown(UINT flags, int x, int y);
  void OnMouseMove(UINT flags, int x, int y);
  void OnLButtonUp(UINT flags, int x, int y);
  // The point is not used: the last mouse point is.
  void OnMouseWheel(UINT flags, short delta, int x, int y);
  void Paint(CDC* dc);
  void HideOverlay();

  static float ComputeFitZoom(const CImage& source, const RECT& client);
  static void Layout(int clientX, int clientY, int imageX, int imageY, const RECT& client, const CImage& source,
                     float zoom, RECT* destination, RECT* view);
  static void ClampView(RECT* view, const CImage& source, float zoom);
  static void ClientToView(int x, int y, POINT* out, const RECT& view, const RECT& destination);
  static bool IsZoomLevel(float zoom) { return vqcapture::IsZoomStep(zoom); }
  static float SnapUpToLevel(float zoom) { return vqcapture::NextZoomStep(zoom); }
  static int RoundHalfAway(float value) { return vqcapture::RoundHalfAway(value); }

  // The overlay is the attacher's; nothing in the data source attaches one.
  void SetOverlay(CVDrawObject* overlay) { m_overlay = overlay; }

  float GetZoom() const { return m_zoom; }
  float GetFitZoom() const { return m_fitZoom; }
  bool IsFitMode() const { return m_fitMode; }
  CRect GetViewRect() const { return m_view; }
  CRect GetDestinationRect() const { return m_destination; }
  const CImage& GetSource() const { return m_source; }
  const CImage& GetCleanBuffer() const { return m_clean; }
  bool IsDragging() const { return m_dragging; }

 private:
  bool HasSource() const { return !m_source.IsNull(); }
  void LayoutAroundCentre();
  // The view at the current zoom into the buffers: the whole picture in
  // fit mode, else the view rectangle.
  void Render();
  bool RenderView();
  void Invalidate(const RECT* area, bool erase);
  void TellOverlayZoom();

  CVDrawObject* m_overlay = nullptr;
  CWnd* m_host = nullptr;
  bool m_dragging = false;
  CImage m_source;
  CImage m_display;
  CImage m_clean;
  CRect m_view{0, 0, 0, 0};
  CRect m_client{0, 0, 0, 0};
  CRect m_destination{0, 0, 0, 0};
  float m_zoom = -1.0f;
  float m_fitZoom = 1.0f;
  bool m_fitMode = false;
  CPoint m_lastMouse{0, 0};
};

}  // namespace strenvik

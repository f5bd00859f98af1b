#pragma once
// CObjectContainer: the preview canvas, a static control that shows the
// newest frame fitted to its window or at one of eleven zoom steps, pans a
// zoomed view by dragging, turns its picture by quarter turns, and carries
// up to three overlays: the selection rectangle, the picture-in-picture box
// and the watermark. It routes the mouse to them and renders the box and
// the watermark into full-size copies of the frame.
//
// The owner creates it as a visible, bordered child with SS_NOTIFY and
// SS_CENTER (0x50800101) and an empty text. Everything runs on the thread
// that owns the window; nothing is locked.
//
// Coordinates: picture (pixels of the held frame), scaled (picture x zoom)
// and window (the client area). The source rectangle is the visible part of
// the scaled picture, the destination rectangle where it is shown.
#include <opencv2/core.hpp>

#include "capture/DrawObject.h"
#include "capture/PreviewMessages.h"
#include "capture/SubImageBox.h"
#include "capture/TrackRectangle.h"
#include "capture/ViewGeometry.h"
#include "capture/WaterMarkObject.h"
#include "capture/WaterMarkParams.h"
#include "platform/mfc/CDC.h"
#include "platform/mfc/CImage.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/Geometry.h"

class CObjectContainer : public CStatic {
 public:
  static constexpr DWORD kStyle = 0x50800101;  // WS_CHILD | WS_VISIBLE | WS_BORDER | SS_NOTIFY | SS_CENTER
  // Kinds of QueryObject.
  static constexpr int kSelection = 0;
  static constexpr int kSubImageBox = 1;
  static constexpr int kWaterMark = 2;

  CObjectContainer() = default;
  ~CObjectContainer() override;

  // Shows a frame: 8-bit with one channel (shown as grey) or three (blue,
  // green, red); other matrices are ignored. A frame of a new size returns
  // the view to fit mode; one of the same size keeps zoom and pan.
  void SetImage(const cv::Mat& frame);
  void ZoomIn();
  void ZoomOut();
  // Quarter turns of the held picture and the selection; the next frame
  // (already turned by the preview) draws the view. Always true.
  bool Rotate90();
  bool Rotate270();
  bool Rotate180();

  // A new, unplaced selection that the user draws by dragging; it becomes
  // the active object.
  void AddSelection();
  // A selection placed at a rectangle in picture coordinates. Always true.
  bool SetSelection(RECT rect, bool constrained);
  // False without a selection.
  bool GetSelection(RECT* out);
  void RemoveSelection();
  // Creates the box when there is none and places it. Always true.
  bool AddSubImageBox(RECT rect);
  void RemoveSubImageBox();
  // Bottom-up RGB24 pixels for the box; nothing without a box.
  void SetSubImage(const BYTE* pixels, int width, int height);
  // Creates the watermark when there is none and gives it the parameters
  // (a present one takes them). Always true.
  bool AddWaterMark(WaterMarkParams params);
  void RemoveWaterMark();
  // kSelection / kSubImageBox: RECT* out; kWaterMark: WaterMarkParams* out.
  // False when the object does not exist or the kind is unknown.
  bool QueryObject(int kind, void* out);

  // A rectangle in scaled coordinates is repainted (without erasing).
  void InvalidateImageRect(RECT scaled);
  // Renders the box and the watermark into a full-size 24-bit picture of
  // the frame (never the selection); false for a null or empty picture.
  bool RenderOverlays(CImage* picture);

  // The preview sets the box's turn after each shown frame; null without a box.
  CSubImageBox* GetSubImageBox() const { return m_subImageBox; }
  CTrackRectangle* GetSelectionObject() const { return m_selection; }
  CWaterMarkObject* GetWaterMarkObject() const { return m_waterMark; }
  CDrawObject* GetActiveObject() const { return m_active; }

  // The view: zoom (-1 before the first frame), fit zoom and fit mode,
  // source and destination rectangles, and the held picture.
  float GetZoom() const { return m_zoom; }
  float GetFitZoom() const { return m_fitZoom; }
  bool IsFitMode() const { return m_fitMode; }
  CRect GetSourceRect() const { return m_source; }
  CRect GetDestinationRect() const { return m_destination; }
  const CImage& GetPicture() const { return m_picture; }

 protected:
  int OnCreate(LPCREATESTRUCT create);
  void OnSize(UINT type, int cx, int cy);
  void OnPaint();
  void OnLButtonDown(UINT flags, CPoint point);
  void OnMouseMove(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnLButtonDblClk(UINT flags, CPoint point);
  BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
  LRESULT OnCopyOut(WPARAM wParam, LPARAM lParam);
  LRESULT OnShowImage(WPARAM wParam, LPARAM lParam);
  // A window created before this object attached to it missed WM_CREATE
  // and the first WM_SIZE; they are caught up here.
  void PreSubclassWindow() override;

  // The watermark slot: takes ownership of the overlay and makes the canvas
  // its owner (a present one is deleted first); null empties the slot.
  void SetWaterMarkObject(CWaterMarkObject* mark);

  DECLARE_MESSAGE_MAP()

 private:
  bool HasPicture() const { return !m_picture.IsNull(); }
  SIZE PictureSize() const { return SIZE{m_picture.GetWidth(), m_picture.GetHeight()}; }
  CPoint ClientCentre() const { return m_client.CenterPoint(); }
  void CreateMemoryDC();
  void ReleaseMemoryDC();
  // The client's new size: buffers, fit zoom and view.
  void Resize(int cx, int cy);
  void CreateBuffers(int cx, int cy);
  // Lays out the view at the current zoom with the anchors.
  void LayOut(POINT clientAnchor, POINT imageAnchor);
  // Draws the view into the view buffer and the clean view.
  void DrawView();
  bool DrawZoomed();
  void DrawFitted();
  // Draws one part of the scaled picture into the view buffer.
  bool DrawStrip(const RECT& part, POINT at);
  bool ScrollView(const RECT& newSource);
  // One step along the zoom ladder about the view's centre.
  void StepZoom(bool (*step)(vqcapture::ZoomLevel*, float));
  void TellOverlaysZoom();
  bool Turn(int quarterTurns);
  template <typename T>
  void DeleteOverlay(T** slot);

  CPoint m_clientSize{0, 0};
  CDC m_memoryDC;
  CBitmap m_memoryBitmap;
  CBitmap* m_initialBitmap = nullptr;
  CDrawObject* m_active = nullptr;
  CTrackRectangle* m_selection = nullptr;
  CSubImageBox* m_subImageBox = nullptr;
  CWaterMarkObject* m_waterMark = nullptr;
  bool m_dragging = false;
  CImage m_picture;    // the held frame, 24-bit top-down
  CImage m_viewBuffer;  // the visible part of the scaled picture at (0, 0), overlays drawn at paint time
  CImage m_cleanView;   // the same without overlays
  CRect m_source;
  CRect m_client;
  CRect m_destination;
  float m_zoom = -1.0f;
  float m_fitZoom = 1.0f;
  bool m_fitMode = false;
  CPoint m_lastMouse{0, 0};
};

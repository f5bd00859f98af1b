#pragma once
// CTrackRectangle: the selection rectangle on the live preview. A new one
// is drawn by dragging (at least 80 x 80 picture pixels); once selected it
// is moved by its body and resized by eight handles, numbered clockwise
// from the top-left corner (0 top-left, 1 top, 2 top-right, 3 right,
// 4 bottom-right, 5 bottom, 6 bottom-left, 7 left). Outside the rectangle
// the picture is washed half-way toward white.
#include <vector>

#include "capture/DrawObject.h"
#include "platform/mfc/CDC.h"

class CTrackRectangle : public CDrawObject {
 public:
  static constexpr int kMinimumSize = 80;
  // Grabbed parts besides the handles 0 to 7.
  static constexpr int kGrabNothing = -2;
  static constexpr int kGrabBody = -1;

  CTrackRectangle();

  bool OnLButtonDown(UINT flags, int x, int y, float s) override;
  void OnMouseMove(UINT flags, int x, int y, float s) override;
  void OnLButtonUp(UINT flags, int x, int y, float s) override;
  void Draw(CImage* target, RECT view, float s) override;
  bool HitTest(int x, int y, float s) override;
  RECT GetRect() override;
  void SetRect(int left, int top, int right, int bottom, bool constrained) override;

  bool IsPlaced() const { return m_placed; }
  bool IsConstrained() const { return m_constrained; }
  int GetGrabbed() const { return m_grabbed; }

 protected:
  // Draws the outline and the handle squares, and keeps the handle centres
  // (scaled coordinates) for the hit tests.
  virtual void DrawHandles(CDC* dc, float s);
  // The same on a picture that holds the part `view` of the scaled picture;
  // nothing unless selected.
  void DrawHandlesOnto(CImage* target, RECT view, float s);
  // Moves the body or one handle by the mouse movement from (lastX, lastY)
  // to (x, y); a resize that would make the rectangle too small is refused.
  virtual void DragHandle(float s, int lastX, int lastY, int x, int y, int grabbed);
  // The same keeping the width-to-height ratio.
  virtual void DragHandleConstrained(float s, int lastX, int lastY, int x, int y, int grabbed);

  // The picture point of a click at scaled (x, y).
  static cv::Point2f CreationPoint(int x, int y, float s);
  // The release of the overlays that are placed without a minimum size.
  void ReleaseWithoutMinimum(int x, int y, float s);
  // The cursor that shows what a drag from here would do.
  virtual void ShowGrabCursor() const;
  // Asks the owner to repaint the scaled bounds grown by `margin` on every side.
  void InvalidateAround(float s, int margin);
  static bool Inside(const RECT& r, int x, int y);
  // Within the 21 x 21 hit square around a handle's centre.
  static bool InHandleSquare(POINT handle, int x, int y);

  bool m_constrained = false;
  bool m_placed = false;
  bool m_buttonDown = false;
  POINT m_last{0, 0};
  int m_grabbed = kGrabNothing;
  std::vector<POINT> m_handlePoints;

 private:
  // Stores the resized bounds unless they shrank below the minimum.
  void StoreResized(const FloatBounds& before, FloatBounds after);
};

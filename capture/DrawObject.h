#pragma once
// CDrawObject: the base of the overlays the preview canvas draws over the
// frame and drives with the mouse. An overlay keeps its shape as points in
// picture coordinates (pixels of the full-size frame); the canvas hands it
// mouse points in scaled coordinates (picture point x zoom s, the view's
// offset taken off) together with s. The selected flag shows the handles or
// outline and enables hit tests; an unselected overlay is still drawn.
#include <vector>

#include <opencv2/core/types.hpp>

#include "platform/mfc/CImage.h"
#include "platform/win/WinTypes.h"

class CObjectContainer;

class CDrawObject {
 public:
  CDrawObject() = default;
  virtual ~CDrawObject() = default;
  CDrawObject(const CDrawObject&) = delete;
  CDrawObject& operator=(const CDrawObject&) = delete;

  // True when the object takes the click.
  virtual bool OnLButtonDown(UINT flags, int x, int y, float s) = 0;
  virtual void OnMouseMove(UINT flags, int x, int y, float s) = 0;
  virtual void OnLButtonUp(UINT flags, int x, int y, float s) = 0;
  // The target holds the part `view` of the scaled picture at (0, 0): a
  // scaled point q lands on target pixel q - view's top-left.
  virtual void Draw(CImage* target, RECT view, float s) = 0;
  virtual bool HitTest(int x, int y, float s);
  virtual void EmptyHook(int a, int b, int c, int d);
  virtual void SetZoom(float s);
  // Returns the previous flag.
  virtual bool SetSelected(bool selected);
  // Quarter turns of the points inside the picture rectangle before the turn.
  virtual void RotatePoints90(RECT picture);
  virtual void RotatePoints270(RECT picture);
  virtual void RotatePoints180(RECT picture);
  // The bounds in picture coordinates.
  virtual RECT GetRect() = 0;
  virtual void SetRect(int left, int top, int right, int bottom, bool constrained) = 0;

  bool IsSelected() const { return m_selected; }
  void SetOwner(CObjectContainer* owner) { m_owner = owner; }
  const std::vector<cv::Point2f>& GetPoints() const { return m_points; }

 protected:
  struct FloatBounds {
    float minX = 0, maxX = 0, minY = 0, maxY = 0;
  };
  // The points' bounds at scale s, each coordinate R(v x s); empty without points.
  RECT ScaledBounds(float s) const;
  FloatBounds GetFloatBounds() const;

  bool m_selected = false;
  int m_lineWidth = 9;
  COLORREF m_color = RGB(0, 0, 255);
  int m_opacity = 50;  // percent
  std::vector<cv::Point2f> m_points;
  CObjectContainer* m_owner = nullptr;
};

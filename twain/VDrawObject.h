#pragma once
// CVDrawObject: the overlay type of the data source's zoomable image view:
// a shape kept as points in source-image pixels that takes the view's mouse
// events, draws itself over the rendered picture and follows zoom changes
// and quarter turns of the image. The view holds one through a pointer of
// this type and deletes it through that pointer; no overlay of this kind
// is made in this system.
#include <utility>
#include <vector>

#include "platform/mfc/CImage.h"
#include "platform/win/WinTypes.h"

namespace strenvik {

class CVDrawObject {
 public:
  CVDrawObject() = default;
  // Not virtual: the view deletes the object through its own pointer type.
  ~CVDrawObject() = default;
  CVDrawObject(const CVDrawObject&) = delete;
  CVDrawObject& operator=(const CVDrawObject&) = delete;

  // Mouse points in zoomed-image pixels.
  virtual bool OnLButtonDown(UINT flags, int x, int y, float zoom) = 0;
  virtual void OnMouseMove(UINT flags, int x, int y, float zoom) = 0;
  virtual void OnLButtonUp(UINT flags, int x, int y, float zoom) = 0;
  // The target holds the view (left, top, right, bottom) of the zoomed image.
  virtual void Draw(CImage* target, int left, int top, int right, int bottom, float zoom) = 0;
  virtual bool HitTest(int x, int y, float zoom);
  virtual void EmptyHook(int a, int b, int c, int d);
  virtual void SetZoom(float zoom);
  // Returns the previous visibility.
  virtual bool SetVisible(bool visible);
  // Quarter turns of every point inside the image rectangle.
  virtual void RotatePoints90(RECT image);
  virtual void RotatePoints270(RECT image);
  virtual void RotatePoints180(RECT image);
  virtual void GetRect(RECT* out) = 0;
  virtual void SetRect(int left, int top, int right, int bottom, int constraint) = 0;

  bool IsVisible() const { return m_visible; }
  const std::vector<std::pair<float, float>>& GetPoints() const { return m_points; }

 protected:
  bool m_visible = false;
  std::vector<std::pair<float, float>> m_points;  // x, y in source-image pixels
};

}  // namespace strenvik

#pragma once
// A rectangle the user draws over an image with the mouse and then moves or
// resizes with eight grab handles. Points are kept in image pixels; the
// mouse and the drawing work in zoomed client pixels relative to the image
// rectangle's top-left corner.
#include <utility>
#include <vector>

#include "platform/mfc/CDC.h"
#include "platform/win/WinTypes.h"

class CTopDlg;

class CDrawRectangle {
 public:
  static constexpr int kNoHandle = -2;
  static constexpr int kInside = -1;
  static constexpr int kMinimumSize = 200;

  explicit CDrawRectangle(CTopDlg* owner = nullptr) : m_owner(owner) {}
  virtual ~CDrawRectangle() = default;

  virtual void OnLButtonDown(UINT flags, int x, int y, float zoom);
  virtual void OnMouseMove(UINT flags, int x, int y, float zoom);
  virtual void OnLButtonUp(UINT flags, int x, int y, float zoom);
  virtual void Draw(CDC* dc, int left, int top, int right, int bottom, float zoom);
  virtual void RotatePoints90(RECT image);
  virtual void RotatePoints270(RECT image);
  virtual void RotatePoints180(RECT image);

  void SetImageRect(const RECT& image) { m_imageRect = image; }
  bool IsPlaced() const { return m_placed; }
  bool IsActive() const { return m_active; }
  int GrabbedHandle() const { return m_grabbed; }
  const std::vector<std::pair<float, float>>& Points() const { return m_points; }
  // Bounds of the points in zoomed client pixels, rounded half away from
  // zero; empty without points.
  RECT ClientBounds(float zoom) const;
  // Bounds in image pixels: minimum x, minimum y, maximum x, maximum y.
  void ImageBounds(float* left, float* top, float* right, float* bottom) const;

 private:
  static std::pair<float, float> ImagePoint(int x, int y, float zoom);
  bool InHandle(POINT point) const;
  void InvalidateBounds(float zoom);
  void ApplyDrag(int x, int y, float zoom);
  void DrawHandles(HDC dc, const RECT& bounds);

  bool m_dragging = false;
  bool m_placed = false;
  bool m_active = false;
  int m_lastX = 0, m_lastY = 0;
  int m_grabbed = kNoHandle;
  RECT m_imageRect{0, 0, 0, 0};
  std::vector<std::pair<float, float>> m_points;
  std::vector<POINT> m_handles;
  CTopDlg* m_owner;
};

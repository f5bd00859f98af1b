#include "capture/DrawObject.h"

#include <algorithm>

#include "capture/ViewGeometry.h"

bool CDrawObject::HitTest(int, int, float) { return false; }

void CDrawObject::EmptyHook(int, int, int, int) {}

void CDrawObject::SetZoom(float) {}

bool CDrawObject::SetSelected(bool selected) {
  bool previous = m_selected;
  m_selected = selected;
  return previous;
}

void CDrawObject::RotatePoints90(RECT picture) {
  const float w = float(picture.right - picture.left), h = float(picture.bottom - picture.top);
  for (cv::Point2f& p : m_points) vqcapture::TurnClockwise(&p.x, &p.y, w, h);
}

void CDrawObject::RotatePoints270(RECT picture) {
  const float w = float(picture.right - picture.left), h = float(picture.bottom - picture.top);
  for (cv::Point2f& p : m_points) vqcapture::TurnCounterClockwise(&p.x, &p.y, w, h);
}

void CDrawObject::RotatePoints180(RECT picture) {
  const float w = float(picture.right - picture.left), h = float(picture.bottom - picture.top);
  for (cv::Point2f& p : m_points) vqcapture::TurnHalf(&p.x, &p.y, w, h);
}

RECT CDrawObject::ScaledBounds(float s) const {
  if (m_points.empty()) return RECT{0, 0, 0, 0};
  int left = 50000, top = 50000, right = -50000, bottom = -50000;
  for (const cv::Point2f& p : m_points) {
    int x = vqcapture::RoundHalfAway(double(p.x) * s), y = vqcapture::RoundHalfAway(double(p.y) * s);
    left = std::min(left, x);
    right = std::max(right, x);
    top = std::min(top, y);
    bottom = std::max(bottom, y);
  }
  return RECT{left, top, right, bottom};
}

CDrawObject::FloatBounds CDrawObject::GetFloatBounds() const {
  FloatBounds b;
  if (m_points.empty()) return b;
  b.minX = b.maxX = m_points.front().x;
  b.minY = b.maxY = m_points.front().y;
  for (const cv::Point2f& p : m_points) {
    b.minX = std::min(b.minX, p.x);
    b.maxX = std::max(b.maxX, p.x);
    b.minY = std::min(b.minY, p.y);
    b.maxY = std::max(b.maxY, p.y);
  }
  return b;
}

#include "twain/VDrawObject.h"

#include "capture/ViewGeometry.h"

namespace strenvik {
namespace {

float WidthOf(const RECT& r) { return static_cast<float>(r.right - r.left); }
float HeightOf(const RECT& r) { return static_cast<float>(r.bottom - r.top); }

}  // namespace

bool CVDrawObject::HitTest(int, int, float) { return false; }

void CVDrawObject::EmptyHook(int, int, int, int) {}

void CVDrawObject::SetZoom(float) {}

bool CVDrawObject::SetVisible(bool visible) {
  bool previous = m_visible;
  m_visible = visible;
  return previous;
}

void CVDrawObject::RotatePoints90(RECT image) {
  for (auto& [x, y] : m_points) vqcapture::TurnClockwise(&x, &y, WidthOf(image), HeightOf(image));
}

void CVDrawObject::RotatePoints270(RECT image) {
  for (auto& [x, y] : m_points) vqcapture::TurnCounterClockwise(&x, &y, WidthOf(image), HeightOf(image));
}

void CVDrawObject::RotatePoints180(RECT image) {
  for (auto& [x, y] : m_points) vqcapture::TurnHalf(&x, &y, WidthOf(image), HeightOf(image));
}

}  // namespace strenvik

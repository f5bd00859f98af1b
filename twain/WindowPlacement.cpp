#include "twain/WindowPlacement.h"

#include <algorithm>

#include "platform/win/SystemMetrics.h"
#include "platform/win/Window.h"

namespace strenvik {

RECT CentredOn(HWND anchor, int width, int height) {
  RECT around{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (anchor) GetWindowRect(anchor, &around);
  const LONG left = around.left + ((around.right - around.left) - width) / 2;
  const LONG top = around.top + ((around.bottom - around.top) - height) / 2;
  return InsideWorkArea(RECT{left, top, left + width, top + height});
}

RECT InsideWorkArea(RECT place) {
  const RECT area = vqplatform::GetWorkArea();
  const LONG width = place.right - place.left, height = place.bottom - place.top;
  const LONG left = std::max(area.left, std::min(place.left, area.right - width));
  const LONG top = std::max(area.top, std::min(place.top, area.bottom - height));
  return RECT{left, top, left + width, top + height};
}

}  // namespace strenvik

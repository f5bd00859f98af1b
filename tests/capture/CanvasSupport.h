#pragma once
// A preview canvas in a headless host window with an exact client size,
// driven by the messages a user's mouse produces, and read back as pixels.
#include <opencv2/core.hpp>

#include "capture/ObjectContainer.h"
#include "platform/win/Window.h"

#include <ostream>

inline void PrintTo(const CRect& r, std::ostream* out) {
  *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace vqtest {

// A picture whose pixels tell where they came from: blue = x mod 256,
// green = y mod 256, red from the 256-pixel tile.
cv::Mat PositionCard(int width, int height);

class CanvasHost {
 public:
  CanvasHost(CObjectContainer& canvas, int width, int height);
  ~CanvasHost();
  CanvasHost(const CanvasHost&) = delete;
  CanvasHost& operator=(const CanvasHost&) = delete;

  HWND Host() const { return host_; }
  LRESULT Mouse(UINT message, POINT client, WPARAM keys = 0);
  // A wheel notch (delta +-120) with the pointer at a client point.
  LRESULT Wheel(POINT client, int delta);
  // Button down at `from`, moves in `steps`, button up at `to`.
  void Drag(POINT from, POINT to, int steps = 4);
  // The client area as the canvas shows it after painting (BGR).
  cv::Mat Shown();

 private:
  CObjectContainer& canvas_;
  HWND host_ = nullptr;
};

}  // namespace vqtest

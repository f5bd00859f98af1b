#pragma once
// The arithmetic of a zoomable picture view: the fit zoom, the ladder of
// zoom steps, which part of the scaled picture shows where in the window,
// keeping that part inside the picture, and the mappings between window,
// scaled and picture coordinates. Products and quotients are taken in
// double, so that a fit zoom just below an exact fraction loses its pixel
// as it does in 32-bit builds (1200 x 0.41666666f gives 499, not 500).
#include "platform/win/WinTypes.h"

namespace vqcapture {

// trunc(v + 0.5) for v > 0, trunc(v - 0.5) otherwise.
int RoundHalfAway(double value);

inline constexpr float kZoomSteps[] = {0.125f, 0.25f, 0.5f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f};
inline constexpr float kMinZoom = 0.125f;
inline constexpr float kMaxZoom = 8.0f;

bool IsZoomStep(float zoom);
// The smallest step greater than the zoom; the smallest step when none is.
float NextZoomStep(float zoom);
// trunc(length x zoom).
int ScaledLength(int length, float zoom);
// min(client / picture on each axis, 1), each quotient a 32-bit float;
// 1 without a picture or client area.
float FitZoom(SIZE picture, SIZE client);

// Zoom and fit mode move together along the ladder. Each step returns
// false when it changes nothing.
struct ZoomLevel {
  float zoom = 1.0f;
  bool fitMode = false;
};
// One step in; nothing at or above the largest step.
bool ZoomInStep(ZoomLevel* level, float fitZoom);
// One step out; nothing in fit mode or at the floor (the smallest step, or
// the fit zoom when that lies above it).
bool ZoomOutStep(ZoomLevel* level, float fitZoom);

// The part `source` of the scaled picture (scaled coordinates) is shown at
// `destination` (window coordinates); both have the same size.
struct ViewRects {
  RECT source{0, 0, 0, 0};
  RECT destination{0, 0, 0, 0};
};
// Lays the scaled picture into the client rectangle so that the picture
// point `imageAnchor` lies under the window point `clientAnchor` as far as
// the picture's edges allow; a picture smaller than the client is centred.
ViewRects ComputeView(SIZE picture, float zoom, POINT clientAnchor, POINT imageAnchor, const RECT& client);
// Shifts the source back inside the scaled picture, shrinking it only when
// it is larger than the picture.
void ClampSource(RECT* source, SIZE picture, float zoom);
// The view after the client changed size at an unchanged zoom: centred
// where the picture is smaller, the source keeping its top-left corner.
ViewRects ResizeView(const RECT& source, SIZE picture, float zoom, SIZE client);

// Window point to scaled point.
POINT WindowToScaled(POINT window, const ViewRects& view);
// The picture point under a window point (rounded).
POINT WindowToImage(POINT window, const ViewRects& view, float zoom);
// The picture point at the centre of the source (rounded).
POINT SourceCentreInImage(const RECT& source, float zoom);

// How a part of the scaled picture is drawn from the picture: the picture
// rectangle, where it lands (target coordinates, the part's top-left at
// `at`) and the stretch mode. Reductions average (HALFTONE); enlargements
// by whole steps repeat every picture pixel as a crisp block, the partly
// visible first pixel cut at the edge.
struct PartBlit {
  RECT picture{0, 0, 0, 0};
  RECT target{0, 0, 0, 0};
  bool halftone = true;
};
PartBlit BlitForPart(const RECT& part, float zoom, POINT at);

// Quarter turns of a point inside a picture of width x height: clockwise
// (height - 1 - y, x), counter-clockwise (y, width - 1 - x), half a turn
// (width - 1 - x, height - 1 - y). T is int or float.
template <typename T>
void TurnClockwise(T* x, T* y, T width, T height) {
  (void)width;
  T turnedX = (height - 1) - *y;
  *y = *x;
  *x = turnedX;
}
template <typename T>
void TurnCounterClockwise(T* x, T* y, T width, T height) {
  (void)height;
  T turnedX = *y;
  *y = (width - 1) - *x;
  *x = turnedX;
}
template <typename T>
void TurnHalf(T* x, T* y, T width, T height) {
  *x = (width - 1) - *x;
  *y = (height - 1) - *y;
}

}  // namespace vqcapture

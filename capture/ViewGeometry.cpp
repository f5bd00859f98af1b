#include "capture/ViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace vqcapture {
namespace {

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// One axis of ClampSource: [low, high) moved back inside [0, extent).
void ClampAxis(LONG* low, LONG* high, int extent) {
  if (*low < 0) {
    *high -= *low;
    *low = 0;
    if (*high > extent) *high = extent;
  } else if (*high > extent) {
    *low += extent - *high;
    *high = extent;
    if (*low < 0) *low = 0;
  }
}

// Rounded up: the truncated value, plus one when the value is larger.
int RoundUp(float value) {
  int truncated = static_cast<int>(value);
  return value > static_cast<float>(truncated) ? truncated + 1 : truncated;
}

// The fit check after a step: below the fit zoom the view snaps to fit.
void SnapToFit(ZoomLevel* level, float fitZoom) {
  if (level->zoom < fitZoom) {
    level->zoom = fitZoom;
    level->fitMode = true;
  } else {
    level->fitMode = false;
  }
}

}  // namespace

int RoundHalfAway(double value) {
  return static_cast<int>(value > 0 ? std::trunc(value + 0.5) : std::trunc(value - 0.5));
}

bool IsZoomStep(float zoom) {
  return std::find(std::begin(kZoomSteps), std::end(kZoomSteps), zoom) != std::end(kZoomSteps);
}

float NextZoomStep(float zoom) {
  for (float step : kZoomSteps)
    if (step > zoom) return step;
  return kZoomSteps[0];
}

int ScaledLength(int length, float zoom) { return static_cast<int>(double(length) * double(zoom)); }

float FitZoom(SIZE picture, SIZE client) {
  if (picture.cx < 1 || picture.cy < 1 || client.cx < 1 || client.cy < 1) return 1.0f;
  float byWidth = static_cast<float>(double(client.cx) / picture.cx);
  float byHeight = static_cast<float>(double(client.cy) / picture.cy);
  return std::min({byWidth, byHeight, 1.0f});
}

bool ZoomInStep(ZoomLevel* level, float fitZoom) {
  if (level->zoom >= kMaxZoom) return false;
  if (IsZoomStep(level->zoom))
    level->zoom = level->zoom < 1.0f ? level->zoom * 2.0f : level->zoom + 1.0f;
  else
    level->zoom = NextZoomStep(level->zoom);
  SnapToFit(level, fitZoom);
  return true;
}

bool ZoomOutStep(ZoomLevel* level, float fitZoom) {
  if (level->fitMode) return false;
  if (level->zoom <= kMinZoom && fitZoom <= level->zoom) return false;
  if (!IsZoomStep(level->zoom)) level->zoom = NextZoomStep(level->zoom);
  level->zoom = level->zoom >= 2.0f ? level->zoom - 1.0f : level->zoom / 2.0f;
  if (level->zoom < kMinZoom) level->zoom = kMinZoom;
  SnapToFit(level, fitZoom);
  return true;
}

ViewRects ComputeView(SIZE picture, float zoom, POINT clientAnchor, POINT imageAnchor, const RECT& client) {
  if (zoom < 0) zoom = 1.0f;
  POINT a = imageAnchor, c = clientAnchor;
  if (a.x < 0 || a.x > picture.cx || a.y < 0 || a.y > picture.cy) a = POINT{picture.cx / 2, picture.cy / 2};
  if (c.x < 0 || c.x > Width(client) || c.y < 0 || c.y > Height(client))
    c = POINT{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
  const int scaledW = ScaledLength(picture.cx, zoom), scaledH = ScaledLength(picture.cy, zoom);
  const bool widthFits = scaledW <= Width(client), heightFits = scaledH <= Height(client);
  ViewRects v;
  RECT& s = v.source;
  RECT& d = v.destination;
  auto centreX = [&] {
    s.left = 0;
    s.right = scaledW;
    d.left = (client.right - scaledW + client.left) / 2;
    d.right = d.left + scaledW;
  };
  auto centreY = [&] {
    s.top = 0;
    s.bottom = scaledH;
    d.top = (client.bottom - scaledH + client.top) / 2;
    d.bottom = d.top + scaledH;
  };
  auto anchorX = [&] {
    d.left = client.left;
    d.right = client.right;
    s.left = RoundHalfAway(double(a.x) * zoom) - c.x;
    s.right = s.left + Width(d);
  };
  auto anchorY = [&] {
    d.top = client.top;
    d.bottom = client.bottom;
    s.top = RoundHalfAway(double(a.y) * zoom) - c.y;
    s.bottom = s.top + Height(d);
  };
  if (widthFits && heightFits) {
    centreX();
    centreY();
    return v;
  }
  if (scaledW >= Width(client) && scaledH >= Height(client)) {
    anchorX();
    anchorY();
  } else if (scaledW < Width(client)) {
    centreX();
    anchorY();
  } else {
    centreY();
    anchorX();
  }
  ClampSource(&s, picture, zoom);
  return v;
}

void ClampSource(RECT* source, SIZE picture, float zoom) {
  ClampAxis(&source->left, &source->right, ScaledLength(picture.cx, zoom));
  ClampAxis(&source->top, &source->bottom, ScaledLength(picture.cy, zoom));
}

ViewRects ResizeView(const RECT& source, SIZE picture, float zoom, SIZE client) {
  const int scaledW = ScaledLength(picture.cx, zoom), scaledH = ScaledLength(picture.cy, zoom);
  ViewRects v;
  RECT& d = v.destination;
  // Centred where the scaled picture is smaller than the client, else spanning it.
  auto place = [](int scaled, int extent, LONG* low, LONG* high) {
    *low = scaled < extent ? (extent - scaled) / 2 : 0;
    *high = scaled < extent ? *low + scaled : extent;
  };
  place(scaledW, client.cx, &d.left, &d.right);
  place(scaledH, client.cy, &d.top, &d.bottom);
  v.source = RECT{source.left, source.top, source.left + Width(d), source.top + Height(d)};
  ClampSource(&v.source, picture, zoom);
  return v;
}

POINT WindowToScaled(POINT window, const ViewRects& view) {
  return POINT{window.x - view.destination.left + view.source.left,
               window.y - view.destination.top + view.source.top};
}

POINT WindowToImage(POINT window, const ViewRects& view, float zoom) {
  POINT scaled = WindowToScaled(window, view);
  return POINT{RoundHalfAway(scaled.x / double(zoom)), RoundHalfAway(scaled.y / double(zoom))};
}

POINT SourceCentreInImage(const RECT& source, float zoom) {
  return POINT{RoundHalfAway(((source.left + source.right) / 2) / double(zoom)),
               RoundHalfAway(((source.top + source.bottom) / 2) / double(zoom))};
}

PartBlit BlitForPart(const RECT& part, float zoom, POINT at) {
  const float x0f = part.left / zoom, y0f = part.top / zoom;
  const float x1f = part.right / zoom, y1f = part.bottom / zoom;
  PartBlit blit;
  const int x0 = static_cast<int>(x0f), y0 = static_cast<int>(y0f);
  if (zoom <= 1.0f) {
    blit.halftone = true;
    blit.picture = RECT{x0, y0, static_cast<int>(x1f), static_cast<int>(y1f)};
    blit.target = RECT{at.x, at.y, at.x + Width(part), at.y + Height(part)};
    return blit;
  }
  blit.halftone = false;
  const int x1 = RoundUp(x1f), y1 = RoundUp(y1f);
  const int block = static_cast<int>(zoom);
  blit.picture = RECT{x0, y0, x1, y1};
  const int left = at.x - RoundHalfAway(double(x0f - x0) * zoom);
  const int top = at.y - RoundHalfAway(double(y0f - y0) * zoom);
  blit.target = RECT{left, top, left + block * (x1 - x0), top + block * (y1 - y0)};
  return blit;
}

}  // namespace vqcapture

#include "platform/win/GdiDraw.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/win/GdiDcInternal.h"
#include "platform/win/Singletons.h"

namespace vqplatform::gdi {

void FillTargetRect(DcObject& dc, const RECT& target, const BrushPaint& paint, int rop2) {
  if (paint.IsNull() || RectIsEmpty(target)) return;
  TargetAccess access(dc, target);
  if (access.Empty()) return;
  if (paint.brush->style == BS_SOLID && rop2 == R2_COPYPEN) {
    uint32_t color = PixelFromColor(paint.brush->color);
    access.ForEachRun(target, [&](uint32_t* run, int count, int, int) {
      for (int i = 0; i < count; ++i) run[i] = (run[i] & 0xFF000000u) | color;
    });
    return;
  }
  access.ForEachPixel(target, [&](int x, int y, uint32_t& px) {
    uint32_t color;
    if (paint.PixelAt(x, y, &color)) px = ApplyRop2(rop2, color, px);
  });
}

namespace {

// Dash patterns of cosmetic pens, in pixels: on, off, on, off...
const std::vector<int>& DashPattern(int kind) {
  struct Patterns {
    std::vector<int> solid, dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6}, dashDotDot{9, 3, 3, 3, 3, 3}, alternate{1, 1};
  };
  static const Patterns& patterns = *vqplatform::MakeSingleton<Patterns>();
  switch (kind) {
    case PS_DASH: return patterns.dash;
    case PS_DOT: return patterns.dot;
    case PS_DASHDOT: return patterns.dashDot;
    case PS_DASHDOTDOT: return patterns.dashDotDot;
    case PS_ALTERNATE: return patterns.alternate;
    default: return patterns.solid;
  }
}

constexpr uint8_t kPenOn = 255;
constexpr uint8_t kPenGap = 128;

// Marks the pixels of a one-pixel line in target coordinates, the end point
// left out; the dash position carries over from segment to segment.
void MarkLine(Mask& mask, POINT a, POINT b, const std::vector<int>& pattern, int* dashPos) {
  int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
  int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
  int err = dx + dy;
  int period = 0;
  for (int v : pattern) period += v;
  int x = a.x, y = a.y;
  while (x != b.x || y != b.y) {
    uint8_t value = kPenOn;
    if (period) {
      int pos = *dashPos % period, seg = 0;
      for (size_t i = 0; i < pattern.size(); ++i) {
        if (pos < seg + pattern[i]) {
          value = (i % 2 == 0) ? kPenOn : kPenGap;
          break;
        }
        seg += pattern[i];
      }
      ++*dashPos;
    }
    mask.Set(x, y, value);
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

RECT BoundsOf(const POINT* points, int count, int margin) {
  RECT r{points[0].x, points[0].y, points[0].x, points[0].y};
  for (int i = 1; i < count; ++i) {
    r.left = std::min(r.left, points[i].x);
    r.top = std::min(r.top, points[i].y);
    r.right = std::max(r.right, points[i].x);
    r.bottom = std::max(r.bottom, points[i].y);
  }
  return RECT{r.left - margin, r.top - margin, r.right + margin + 1, r.bottom + margin + 1};
}

void ApplyPenStyle(cairo_t* cr, const PenObject& pen) {
  cairo_set_line_width(cr, pen.width);
  switch (pen.style & PS_ENDCAP_MASK) {
    case PS_ENDCAP_FLAT: cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT); break;
    case PS_ENDCAP_SQUARE: cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE); break;
    default: cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND); break;
  }
  switch (pen.style & PS_JOIN_MASK) {
    case PS_JOIN_BEVEL: cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL); break;
    case PS_JOIN_MITER: cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER); break;
    default: cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND); break;
  }
}

// Paints a pen mask: pen colour on the dashes, the background colour in the
// gaps when the background mode is opaque.
void PaintPenMask(DcObject& dc, Mask& mask) {
  TargetAccess access(dc, mask.Bounds());
  if (access.Empty()) return;
  uint32_t pen = PixelFromColor(PenColor(dc));
  uint32_t gap = PixelFromColor(dc.state.bkColor);
  bool opaqueGaps = dc.state.bkMode == OPAQUE;
  PaintMask(access, mask, dc.state.rop2, [&](int x, int y, uint32_t* color) {
    if (mask.At(x, y) == kPenGap) {
      if (!opaqueGaps) return false;
      *color = gap;
      return true;
    }
    *color = pen;
    return true;
  });
}

bool HasPen(const DcObject& dc) { return dc.state.pen && dc.state.pen->Kind() != PS_NULL; }

// Draws a polyline (closed or not) with the DC's pen, in logical points.
void StrokePolyline(DcObject& dc, const POINT* points, int count, bool closed) {
  if (count < 2 || !HasPen(dc)) return;
  const PenObject& pen = *dc.state.pen;
  POINT offset = dc.TargetOffset();
  std::vector<POINT> t(points, points + count);
  for (POINT& p : t) p = POINT{p.x + offset.x, p.y + offset.y};
  if (closed) t.push_back(t.front());
  RECT bounds = DrawableBounds(dc, BoundsOf(t.data(), static_cast<int>(t.size()), pen.Cosmetic() ? 0 : pen.width));
  if (RectIsEmpty(bounds)) return;
  Mask mask(bounds);
  if (pen.Cosmetic()) {
    mask.Begin(POINT{0, 0});
    mask.End();
    int dashPos = 0;
    const auto& pattern = DashPattern(pen.Kind());
    for (size_t i = 0; i + 1 < t.size(); ++i) MarkLine(mask, t[i], t[i + 1], pattern, &dashPos);
  } else {
    cairo_t* cr = mask.Begin(POINT{0, 0});
    ApplyPenStyle(cr, pen);
    cairo_move_to(cr, t[0].x + 0.5, t[0].y + 0.5);
    for (size_t i = 1; i < t.size(); ++i) cairo_line_to(cr, t[i].x + 0.5, t[i].y + 0.5);
    if (closed) cairo_close_path(cr);
    cairo_stroke(cr);
    mask.End();
  }
  PaintPenMask(dc, mask);
}

// Fills a path with the DC's brush; the path is built in target coordinates.
template <typename BuildPath>
void FillPath(DcObject& dc, const RECT& targetBounds, BuildPath build, bool winding = false) {
  BrushPaint paint = BrushPaintFor(dc, dc.state.brush);
  if (paint.IsNull()) return;
  RECT bounds = DrawableBounds(dc, targetBounds);
  if (RectIsEmpty(bounds)) return;
  Mask mask(bounds);
  cairo_t* cr = mask.Begin(POINT{0, 0});
  cairo_set_fill_rule(cr, winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
  build(cr);
  cairo_fill(cr);
  mask.End();
  TargetAccess access(dc, mask.Bounds());
  if (access.Empty()) return;
  PaintMask(access, mask, dc.state.rop2, [&](int x, int y, uint32_t* c) { return paint.PixelAt(x, y, c); });
}

// Strokes a curved outline with the pen (one pixel wide for cosmetic pens).
template <typename BuildPath>
void StrokePath(DcObject& dc, const RECT& targetBounds, BuildPath build) {
  if (!HasPen(dc)) return;
  const PenObject& pen = *dc.state.pen;
  int margin = pen.Cosmetic() ? 1 : pen.width;
  RECT bounds = DrawableBounds(dc, RECT{targetBounds.left - margin, targetBounds.top - margin,
                                       targetBounds.right + margin, targetBounds.bottom + margin});
  if (RectIsEmpty(bounds)) return;
  Mask mask(bounds);
  cairo_t* cr = mask.Begin(POINT{0, 0});
  if (pen.Cosmetic()) {
    cairo_set_line_width(cr, 1.0);
  } else {
    ApplyPenStyle(cr, pen);
  }
  build(cr);
  cairo_stroke(cr);
  mask.End();
  PaintPenMask(dc, mask);
}

void EllipsePath(cairo_t* cr, double cx, double cy, double rx, double ry) {
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, cx - rx, cy - ry, 2 * rx + 0.01, 2 * ry + 0.01);
    return;
  }
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_close_path(cr);
  cairo_restore(cr);
}

// The box of a shape in target coordinates, normalised; the pen's
// centre line runs through the outer pixels' centres.
struct ShapeBox {
  double left, top, right, bottom;  // pixel-centre coordinates of the outline
  RECT target;                       // the pixels of the box
};

ShapeBox MakeBox(const DcObject& dc, int left, int top, int right, int bottom, bool insideFrame, int penWidth) {
  RECT r = NormalizeRect(RECT{left, top, right, bottom});
  POINT o = dc.TargetOffset();
  r = OffsetRectBy(r, o);
  ShapeBox box{r.left + 0.5, r.top + 0.5, r.right - 0.5, r.bottom - 0.5, r};
  if (insideFrame && penWidth > 1) {
    double inset = penWidth / 2.0 - 0.5;
    box.left += inset;
    box.top += inset;
    box.right -= inset;
    box.bottom -= inset;
  }
  return box;
}

bool InsideFrame(const DcObject& dc) { return HasPen(dc) && dc.state.pen->Kind() == PS_INSIDEFRAME; }
int PenWidth(const DcObject& dc) { return HasPen(dc) ? std::max(1, dc.state.pen->width) : 0; }

void RoundRectPath(cairo_t* cr, const ShapeBox& b, double rx, double ry) {
  rx = std::min(rx, (b.right - b.left) / 2);
  ry = std::min(ry, (b.bottom - b.top) / 2);
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, b.left, b.top, b.right - b.left, b.bottom - b.top);
    return;
  }
  auto corner = [&](double cx, double cy, double a0, double a1) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, a0, a1);
    cairo_restore(cr);
  };
  cairo_new_sub_path(cr);
  corner(b.right - rx, b.top + ry, -M_PI / 2, 0);
  corner(b.right - rx, b.bottom - ry, 0, M_PI / 2);
  corner(b.left + rx, b.bottom - ry, M_PI / 2, M_PI);
  corner(b.left + rx, b.top + ry, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

enum class ArcKind { Arc, Pie, Chord };

BOOL DrawArc(HDC handle, ArcKind kind, int left, int top, int right, int bottom, int xs, int ys, int xe, int ye) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  ShapeBox b = MakeBox(*dc, left, top, right, bottom, InsideFrame(*dc), PenWidth(*dc));
  POINT o = dc->TargetOffset();
  double cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
  double rx = std::max((b.right - b.left) / 2, 0.01), ry = std::max((b.bottom - b.top) / 2, 0.01);
  double a0 = std::atan2((ys + o.y + 0.5 - cy) / ry, (xs + o.x + 0.5 - cx) / rx);
  double a1 = std::atan2((ye + o.y + 0.5 - cy) / ry, (xe + o.x + 0.5 - cx) / rx);
  if (a1 >= a0) a1 -= 2 * M_PI;  // counter-clockwise on screen: decreasing angle
  auto path = [&](cairo_t* cr, bool close) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_new_sub_path(cr);
    if (kind == ArcKind::Pie) cairo_move_to(cr, 0, 0);
    cairo_arc_negative(cr, 0, 0, 1, a0, a1);
    if (close && kind != ArcKind::Arc) cairo_close_path(cr);
    cairo_restore(cr);
  };
  if (kind != ArcKind::Arc) FillPath(*dc, b.target, [&](cairo_t* cr) { path(cr, true); });
  StrokePath(*dc, b.target, [&](cairo_t* cr) { path(cr, true); });
  return TRUE;
}

}  // namespace
}  // namespace vqplatform::gdi

using namespace vqplatform::gdi;

BOOL MoveToEx(HDC handle, int x, int y, LPPOINT previous) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.currentPos;
  dc->state.currentPos = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC handle, int x, int y) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  POINT points[2] = {dc->state.currentPos, POINT{x, y}};
  StrokePolyline(*dc, points, 2, false);
  dc->state.currentPos = points[1];
  return TRUE;
}

BOOL Polyline(HDC handle, const POINT* points, int count) {
  auto dc = DcFromHandle(handle);
  if (!dc || !points || count < 2) return FALSE;
  StrokePolyline(*dc, points, count, false);
  return TRUE;
}

BOOL Polygon(HDC handle, const POINT* points, int count) {
  auto dc = DcFromHandle(handle);
  if (!dc || !points || count < 2) return FALSE;
  POINT o = dc->TargetOffset();
  std::vector<POINT> t(points, points + count);
  for (POINT& p : t) p = POINT{p.x + o.x, p.y + o.y};
  FillPath(
      *dc, BoundsOf(t.data(), count, 1),
      [&](cairo_t* cr) {
        cairo_move_to(cr, t[0].x + 0.5, t[0].y + 0.5);
        for (int i = 1; i < count; ++i) cairo_line_to(cr, t[i].x + 0.5, t[i].y + 0.5);
        cairo_close_path(cr);
      },
      dc->state.polyFillMode == WINDING);
  StrokePolyline(*dc, points, count, true);
  return TRUE;
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  RECT r = NormalizeRect(RECT{left, top, right, bottom});
  if (r.right - r.left < 2 || r.bottom - r.top < 2) return TRUE;
  RECT target = OffsetRectBy(r, dc->TargetOffset());
  BrushPaint paint = BrushPaintFor(*dc, dc->state.brush);
  if (!HasPen(*dc)) {
    // Without a pen the filled area is one pixel smaller on the right and bottom.
    FillTargetRect(*dc, RECT{target.left, target.top, target.right - 1, target.bottom - 1}, paint, dc->state.rop2);
    return TRUE;
  }
  const PenObject& pen = *dc->state.pen;
  int w = std::max(1, pen.width);
  int inset = pen.Kind() == PS_INSIDEFRAME || pen.Cosmetic() ? w : (w + 1) / 2;
  FillTargetRect(*dc, RECT{target.left + inset, target.top + inset, target.right - inset, target.bottom - inset},
                 paint, dc->state.rop2);
  if (pen.Cosmetic()) {
    POINT corners[4] = {{r.left, r.top}, {r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}};
    StrokePolyline(*dc, corners, 4, true);
    return TRUE;
  }
  ShapeBox b = MakeBox(*dc, left, top, right, bottom, pen.Kind() == PS_INSIDEFRAME, w);
  StrokePath(*dc, b.target, [&](cairo_t* cr) {
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_rectangle(cr, b.left, b.top, b.right - b.left, b.bottom - b.top);
  });
  return TRUE;
}

BOOL Ellipse(HDC handle, int left, int top, int right, int bottom) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  ShapeBox b = MakeBox(*dc, left, top, right, bottom, InsideFrame(*dc), PenWidth(*dc));
  auto path = [&](cairo_t* cr) {
    EllipsePath(cr, (b.left + b.right) / 2, (b.top + b.bottom) / 2, (b.right - b.left) / 2, (b.bottom - b.top) / 2);
  };
  FillPath(*dc, b.target, path);
  StrokePath(*dc, b.target, path);
  return TRUE;
}

BOOL RoundRect(HDC handle, int left, int top, int right, int bottom, int width, int height) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  ShapeBox b = MakeBox(*dc, left, top, right, bottom, InsideFrame(*dc), PenWidth(*dc));
  auto path = [&](cairo_t* cr) { RoundRectPath(cr, b, std::abs(width) / 2.0, std::abs(height) / 2.0); };
  FillPath(*dc, b.target, path);
  StrokePath(*dc, b.target, path);
  return TRUE;
}

BOOL Arc(HDC dc, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return DrawArc(dc, ArcKind::Arc, l, t, r, b, xs, ys, xe, ye);
}
BOOL Pie(HDC dc, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return DrawArc(dc, ArcKind::Pie, l, t, r, b, xs, ys, xe, ye);
}
BOOL Chord(HDC dc, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return DrawArc(dc, ArcKind::Chord, l, t, r, b, xs, ys, xe, ye);
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brush) {
  auto dc = DcFromHandle(handle);
  auto b = BrushFromHandle(brush);
  if (!dc || !rect || !b) return 0;
  FillTargetRect(*dc, OffsetRectBy(*rect, dc->TargetOffset()), BrushPaintFor(*dc, b), R2_COPYPEN);
  return 1;
}

int FrameRect(HDC handle, const RECT* rect, HBRUSH brush) {
  auto dc = DcFromHandle(handle);
  auto b = BrushFromHandle(brush);
  if (!dc || !rect || !b) return 0;
  RECT r = OffsetRectBy(*rect, dc->TargetOffset());
  if (RectIsEmpty(r)) return 1;
  BrushPaint paint = BrushPaintFor(*dc, b);
  FillTargetRect(*dc, RECT{r.left, r.top, r.right, r.top + 1}, paint, R2_COPYPEN);
  FillTargetRect(*dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, paint, R2_COPYPEN);
  FillTargetRect(*dc, RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, paint, R2_COPYPEN);
  FillTargetRect(*dc, RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, paint, R2_COPYPEN);
  return 1;
}

BOOL PatBlt(HDC handle, int x, int y, int width, int height, DWORD rop) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  RECT r = OffsetRectBy(NormalizeRect(RECT{x, y, x + width, y + height}), dc->TargetOffset());
  BrushPaint paint = BrushPaintFor(*dc, dc->state.brush);
  auto solid = [&](COLORREF color) {
    auto b = std::make_shared<BrushObject>();
    b->color = color;
    BrushPaint p;
    p.brush = b;
    return p;
  };
  switch (rop) {
    case PATCOPY: FillTargetRect(*dc, r, paint, R2_COPYPEN); return TRUE;
    case PATINVERT: FillTargetRect(*dc, r, paint, R2_XORPEN); return TRUE;
    case DSTINVERT: FillTargetRect(*dc, r, solid(0), R2_NOT); return TRUE;
    case BLACKNESS: FillTargetRect(*dc, r, solid(RGB(0, 0, 0)), R2_COPYPEN); return TRUE;
    case WHITENESS: FillTargetRect(*dc, r, solid(RGB(255, 255, 255)), R2_COPYPEN); return TRUE;
    default: return FALSE;
  }
}

BOOL InvertRect(HDC handle, const RECT* rect) {
  if (!rect) return FALSE;
  RECT r = NormalizeRect(*rect);
  return PatBlt(handle, r.left, r.top, r.right - r.left, r.bottom - r.top, DSTINVERT);
}

BOOL DrawFocusRect(HDC handle, const RECT* rect) {
  auto dc = DcFromHandle(handle);
  if (!dc || !rect) return FALSE;
  RECT logical = NormalizeRect(*rect);
  if (RectIsEmpty(logical)) return TRUE;
  RECT r = OffsetRectBy(logical, dc->TargetOffset());
  TargetAccess access(*dc, r);
  if (access.Empty()) return TRUE;
  // Every other pixel of the one-pixel frame, each inverted exactly once.
  auto onFrame = [&](int x, int y) {
    return y == r.top || y == r.bottom - 1 || x == r.left || x == r.right - 1;
  };
  POINT o = dc->TargetOffset();
  access.ForEachPixel(r, [&](int x, int y, uint32_t& px) {
    if (onFrame(x, y) && (((x - o.x) + (y - o.y)) & 1) == 0) px ^= 0x00FFFFFFu;
  });
  return TRUE;
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color) {
  auto dc = DcFromHandle(handle);
  if (!dc) return CLR_INVALID;
  POINT p = dc->ToTarget(x, y);
  RECT r{p.x, p.y, p.x + 1, p.y + 1};
  TargetAccess access(*dc, r);
  if (access.Empty()) return CLR_INVALID;
  access.ForEachPixel(r, [&](int, int, uint32_t& px) { px = (px & 0xFF000000u) | PixelFromColor(color); });
  return color & 0x00FFFFFFu;
}

BOOL SetPixelV(HDC dc, int x, int y, COLORREF color) { return SetPixel(dc, x, y, color) != CLR_INVALID; }

COLORREF GetPixel(HDC handle, int x, int y) {
  auto dc = DcFromHandle(handle);
  if (!dc || !dc->Target()) return CLR_INVALID;
  POINT p = dc->ToTarget(x, y);
  cairo_region_t* clip = dc->EffectiveClip();
  bool inside = cairo_region_contains_point(clip, p.x, p.y);
  cairo_region_destroy(clip);
  if (!inside) return CLR_INVALID;
  BitmapObject& bitmap = *dc->Target();
  bitmap.Load(RECT{p.x, p.y, p.x + 1, p.y + 1});
  cairo_surface_flush(bitmap.View());
  return ColorFromPixel(bitmap.ViewRow(p.y)[p.x]);
}

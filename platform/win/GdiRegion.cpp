#include "platform/win/GdiRegion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/win/GdiDcInternal.h"
#include "platform/win/GdiObjects.h"

namespace vqplatform::gdi {
namespace {

int KindOf(const cairo_region_t* region) {
  int n = cairo_region_num_rectangles(region);
  return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

cairo_rectangle_int_t CairoRect(RECT r) {
  r = NormalizeRect(r);
  return cairo_rectangle_int_t{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

HRGN NewRegion(cairo_region_t* takeOwnership) {
  auto region = std::make_shared<RegionObject>();
  cairo_region_destroy(region->region);
  region->region = takeOwnership;
  return MakeHandle<HRGN>(region);
}

// A region from the pixels a cairo path covers (pixel centres inside),
// collected row by row as runs.
template <typename BuildPath>
HRGN RegionFromPath(RECT bounds, BuildPath build, bool winding = false) {
  bounds = NormalizeRect(bounds);
  // Regions are built pixel by pixel: refuse shapes of absurd size.
  if (int64_t(bounds.right - bounds.left) * (bounds.bottom - bounds.top) > (int64_t(1) << 26)) return nullptr;
  cairo_region_t* region = cairo_region_create();
  if (!RectIsEmpty(bounds)) {
    Mask mask(bounds);
    cairo_t* cr = mask.Begin(POINT{0, 0});
    cairo_set_fill_rule(cr, winding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    build(cr);
    cairo_fill(cr);
    mask.End();
    for (LONG y = bounds.top; y < bounds.bottom; ++y) {
      LONG x = bounds.left;
      while (x < bounds.right) {
        while (x < bounds.right && !mask.At(x, y)) ++x;
        LONG start = x;
        while (x < bounds.right && mask.At(x, y)) ++x;
        if (x > start) {
          cairo_rectangle_int_t run{start, y, x - start, 1};
          cairo_region_union_rectangle(region, &run);
        }
      }
    }
  }
  return NewRegion(region);
}

// The DC's clip in device coordinates, or its whole area when unclipped.
cairo_region_t* CurrentClipOrAll(const DcObject& dc) {
  if (dc.state.clip) return cairo_region_copy(dc.state.clip->region);
  auto target = dc.Target();
  cairo_rectangle_int_t all{-dc.origin.x, -dc.origin.y, target ? target->Width() : 0, target ? target->Height() : 0};
  return cairo_region_create_rectangle(&all);
}

int SetClip(DcObject& dc, cairo_region_t* takeOwnership) {
  auto clip = std::make_shared<RegionObject>();
  cairo_region_destroy(clip->region);
  clip->region = takeOwnership;
  dc.state.clip = clip;
  cairo_region_t* effective = dc.EffectiveClip();
  int kind = KindOf(effective);
  cairo_region_destroy(effective);
  return kind;
}

POINT LogicalToDevice(const DcObject& dc, int x, int y) {
  return POINT{x + dc.state.viewportOrg.x - dc.state.windowOrg.x, y + dc.state.viewportOrg.y - dc.state.windowOrg.y};
}

}  // namespace
}  // namespace vqplatform::gdi

using namespace vqplatform::gdi;

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  cairo_rectangle_int_t r = CairoRect(RECT{left, top, right, bottom});
  return NewRegion(cairo_region_create_rectangle(&r));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height) {
  RECT r = NormalizeRect(RECT{left, top, right, bottom});
  double rx = std::min(std::abs(width) / 2.0, (r.right - r.left) / 2.0);
  double ry = std::min(std::abs(height) / 2.0, (r.bottom - r.top) / 2.0);
  // Each row spans the rectangle less what the corner ellipses cut away.
  cairo_region_t* region = cairo_region_create();
  for (LONG y = r.top; y < r.bottom; ++y) {
    double yc = y + 0.5, cut = 0;
    double dy = yc < r.top + ry ? (r.top + ry) - yc : yc > r.bottom - ry ? yc - (r.bottom - ry) : 0;
    if (dy > 0 && ry > 0) cut = rx - rx * std::sqrt(std::max(0.0, 1 - (dy / ry) * (dy / ry)));
    LONG x0 = r.left + static_cast<LONG>(std::lround(cut)), x1 = r.right - static_cast<LONG>(std::lround(cut));
    if (x1 > x0) {
      cairo_rectangle_int_t run{x0, y, x1 - x0, 1};
      cairo_region_union_rectangle(region, &run);
    }
  }
  return NewRegion(region);
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  return CreateRoundRectRgn(left, top, right, bottom, std::abs(right - left), std::abs(bottom - top));
}

HRGN CreateEllipticRgnIndirect(const RECT* rect) {
  return rect ? CreateEllipticRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode) {
  if (!points || count < 3) return nullptr;
  RECT bounds{points[0].x, points[0].y, points[0].x, points[0].y};
  for (int i = 1; i < count; ++i) {
    bounds.left = std::min(bounds.left, points[i].x);
    bounds.top = std::min(bounds.top, points[i].y);
    bounds.right = std::max(bounds.right, points[i].x);
    bounds.bottom = std::max(bounds.bottom, points[i].y);
  }
  return RegionFromPath(
      bounds,
      [&](cairo_t* cr) {
        cairo_move_to(cr, points[0].x, points[0].y);
        for (int i = 1; i < count; ++i) cairo_line_to(cr, points[i].x, points[i].y);
        cairo_close_path(cr);
      },
      fillMode == WINDING);
}

HRGN ExtCreateRegion(const void*, DWORD count, const RGNDATA* data) {
  if (!data || data->rdh.iType != RDH_RECTANGLES || count < sizeof(RGNDATAHEADER)) return nullptr;
  // Refuse a rectangle count that does not fit the given size.
  if ((count - sizeof(RGNDATAHEADER)) / sizeof(RECT) < data->rdh.nCount) return nullptr;
  const BYTE* base = reinterpret_cast<const BYTE*>(data) + data->rdh.dwSize;
  cairo_region_t* region = cairo_region_create();
  for (DWORD i = 0; i < data->rdh.nCount; ++i) {
    RECT r;
    std::memcpy(&r, base + i * sizeof(RECT), sizeof(RECT));
    if (RectIsEmpty(r)) continue;
    cairo_rectangle_int_t c = CairoRect(r);
    cairo_region_union_rectangle(region, &c);
  }
  return NewRegion(region);
}

BOOL SetRectRgn(HRGN handle, int left, int top, int right, int bottom) {
  auto region = RegionFromHandle(handle);
  if (!region) return FALSE;
  cairo_region_destroy(region->region);
  cairo_rectangle_int_t r = CairoRect(RECT{left, top, right, bottom});
  region->region = cairo_region_create_rectangle(&r);
  return TRUE;
}

int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode) {
  auto dst = RegionFromHandle(destination), a = RegionFromHandle(source1);
  auto b = mode == RGN_COPY ? nullptr : RegionFromHandle(source2);
  if (!dst || !a || (mode != RGN_COPY && !b) || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  cairo_region_t* result = cairo_region_copy(a->region);
  switch (mode) {
    case RGN_AND: cairo_region_intersect(result, b->region); break;
    case RGN_OR: cairo_region_union(result, b->region); break;
    case RGN_XOR: cairo_region_xor(result, b->region); break;
    case RGN_DIFF: cairo_region_subtract(result, b->region); break;
    default: break;
  }
  cairo_region_destroy(dst->region);
  dst->region = result;
  return KindOf(result);
}

int OffsetRgn(HRGN handle, int dx, int dy) {
  auto region = RegionFromHandle(handle);
  if (!region) return ERROR;
  cairo_region_translate(region->region, dx, dy);
  return KindOf(region->region);
}

BOOL EqualRgn(HRGN a, HRGN b) {
  auto ra = RegionFromHandle(a), rb = RegionFromHandle(b);
  if (!ra || !rb) return FALSE;
  return cairo_region_equal(ra->region, rb->region) ? TRUE : FALSE;
}

BOOL PtInRegion(HRGN handle, int x, int y) {
  auto region = RegionFromHandle(handle);
  return region && cairo_region_contains_point(region->region, x, y) ? TRUE : FALSE;
}

BOOL RectInRegion(HRGN handle, const RECT* rect) {
  auto region = RegionFromHandle(handle);
  if (!region || !rect) return FALSE;
  cairo_rectangle_int_t r = CairoRect(*rect);
  return cairo_region_contains_rectangle(region->region, &r) != CAIRO_REGION_OVERLAP_OUT ? TRUE : FALSE;
}

int GetRgnBox(HRGN handle, LPRECT box) {
  auto region = RegionFromHandle(handle);
  if (!region || !box) return ERROR;
  cairo_rectangle_int_t e;
  cairo_region_get_extents(region->region, &e);
  *box = RECT{e.x, e.y, e.x + e.width, e.y + e.height};
  return KindOf(region->region);
}

DWORD GetRegionData(HRGN handle, DWORD size, LPRGNDATA data) {
  auto region = RegionFromHandle(handle);
  if (!region) return 0;
  int n = cairo_region_num_rectangles(region->region);
  DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER) + size_t(n) * sizeof(RECT));
  if (!data) return needed;
  if (size < needed) return 0;
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = static_cast<DWORD>(n);
  data->rdh.nRgnSize = static_cast<DWORD>(size_t(n) * sizeof(RECT));
  GetRgnBox(handle, &data->rdh.rcBound);
  BYTE* out = reinterpret_cast<BYTE*>(data) + sizeof(RGNDATAHEADER);
  for (int i = 0; i < n; ++i) {
    cairo_rectangle_int_t c;
    cairo_region_get_rectangle(region->region, i, &c);
    RECT r{c.x, c.y, c.x + c.width, c.y + c.height};
    std::memcpy(out + size_t(i) * sizeof(RECT), &r, sizeof(RECT));
  }
  return needed;
}

namespace {

// Paints every rectangle of a (logical) region through a brush and ROP2.
BOOL PaintRegion(HDC handle, HRGN regionHandle, const BrushPaint* paintOverride, HBRUSH brush, int rop2) {
  auto dc = DcFromHandle(handle);
  auto region = RegionFromHandle(regionHandle);
  if (!dc || !region) return FALSE;
  BrushPaint paint;
  if (paintOverride) {
    paint = *paintOverride;
  } else {
    auto b = BrushFromHandle(brush);
    if (!b) return FALSE;
    paint = BrushPaintFor(*dc, b);
  }
  POINT o = dc->TargetOffset();
  int n = cairo_region_num_rectangles(region->region);
  for (int i = 0; i < n; ++i) {
    cairo_rectangle_int_t c;
    cairo_region_get_rectangle(region->region, i, &c);
    FillTargetRect(*dc, OffsetRectBy(RECT{c.x, c.y, c.x + c.width, c.y + c.height}, o), paint, rop2);
  }
  return TRUE;
}

}  // namespace

BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush) { return PaintRegion(dc, region, nullptr, brush, R2_COPYPEN); }

BOOL PaintRgn(HDC handle, HRGN region) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  BrushPaint paint = BrushPaintFor(*dc, dc->state.brush);
  return PaintRegion(handle, region, &paint, nullptr, dc->state.rop2);
}

BOOL InvertRgn(HDC dc, HRGN region) {
  BrushPaint paint;
  paint.brush = std::make_shared<BrushObject>();
  return PaintRegion(dc, region, &paint, nullptr, R2_NOT);
}

BOOL FrameRgn(HDC dc, HRGN handle, HBRUSH brush, int width, int height) {
  auto region = RegionFromHandle(handle);
  if (!region || width <= 0 || height <= 0) return FALSE;
  // The frame is the region less the region shrunk by width x height: a
  // pixel stays inside when its neighbours that far away are inside too.
  cairo_region_t* inner = cairo_region_copy(region->region);
  for (int dx : {-width, width}) {
    cairo_region_t* moved = cairo_region_copy(region->region);
    cairo_region_translate(moved, dx, 0);
    cairo_region_intersect(inner, moved);
    cairo_region_destroy(moved);
  }
  for (int dy : {-height, height}) {
    cairo_region_t* moved = cairo_region_copy(region->region);
    cairo_region_translate(moved, 0, dy);
    cairo_region_intersect(inner, moved);
    cairo_region_destroy(moved);
  }
  cairo_region_t* frame = cairo_region_copy(region->region);
  cairo_region_subtract(frame, inner);
  cairo_region_destroy(inner);
  HRGN frameHandle = NewRegion(frame);
  BOOL ok = FillRgn(dc, frameHandle, brush);
  DeleteObject(frameHandle);
  return ok;
}

int SelectClipRgn(HDC dc, HRGN region) { return ExtSelectClipRgn(dc, region, RGN_COPY); }

int ExtSelectClipRgn(HDC handle, HRGN regionHandle, int mode) {
  auto dc = DcFromHandle(handle);
  if (!dc) return ERROR;
  auto region = RegionFromHandle(regionHandle);
  if (!region) {
    if (mode != RGN_COPY || regionHandle) return ERROR;
    dc->state.clip.reset();
    return SIMPLEREGION;
  }
  if (mode == RGN_COPY) return SetClip(*dc, cairo_region_copy(region->region));
  cairo_region_t* current = CurrentClipOrAll(*dc);
  switch (mode) {
    case RGN_AND: cairo_region_intersect(current, region->region); break;
    case RGN_OR: cairo_region_union(current, region->region); break;
    case RGN_XOR: cairo_region_xor(current, region->region); break;
    case RGN_DIFF: cairo_region_subtract(current, region->region); break;
    default: cairo_region_destroy(current); return ERROR;
  }
  return SetClip(*dc, current);
}

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom) {
  auto dc = DcFromHandle(handle);
  if (!dc) return ERROR;
  POINT a = LogicalToDevice(*dc, left, top), b = LogicalToDevice(*dc, right, bottom);
  cairo_region_t* current = CurrentClipOrAll(*dc);
  cairo_rectangle_int_t r = CairoRect(RECT{a.x, a.y, b.x, b.y});
  cairo_region_intersect_rectangle(current, &r);
  return SetClip(*dc, current);
}

int ExcludeClipRect(HDC handle, int left, int top, int right, int bottom) {
  auto dc = DcFromHandle(handle);
  if (!dc) return ERROR;
  POINT a = LogicalToDevice(*dc, left, top), b = LogicalToDevice(*dc, right, bottom);
  cairo_region_t* current = CurrentClipOrAll(*dc);
  cairo_rectangle_int_t r = CairoRect(RECT{a.x, a.y, b.x, b.y});
  cairo_region_subtract_rectangle(current, &r);
  return SetClip(*dc, current);
}

int OffsetClipRgn(HDC handle, int dx, int dy) {
  auto dc = DcFromHandle(handle);
  if (!dc) return ERROR;
  if (!dc->state.clip) return SIMPLEREGION;
  cairo_region_t* current = cairo_region_copy(dc->state.clip->region);
  cairo_region_translate(current, dx, dy);
  return SetClip(*dc, current);
}

int GetClipRgn(HDC handle, HRGN regionHandle) {
  auto dc = DcFromHandle(handle);
  auto region = RegionFromHandle(regionHandle);
  if (!dc || !region) return -1;
  if (!dc->state.clip) return 0;
  cairo_region_destroy(region->region);
  region->region = cairo_region_copy(dc->state.clip->region);
  return 1;
}

int GetClipBox(HDC handle, LPRECT box) {
  auto dc = DcFromHandle(handle);
  if (!dc || !box) return ERROR;
  cairo_region_t* clip = dc->EffectiveClip();
  cairo_rectangle_int_t e;
  cairo_region_get_extents(clip, &e);
  int kind = KindOf(clip);
  cairo_region_destroy(clip);
  POINT o = dc->TargetOffset();
  *box = RECT{e.x - o.x, e.y - o.y, e.x + e.width - o.x, e.y + e.height - o.y};
  if (kind == NULLREGION) *box = RECT{0, 0, 0, 0};
  return kind;
}

BOOL PtVisible(HDC handle, int x, int y) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  POINT p = dc->ToTarget(x, y);
  cairo_region_t* clip = dc->EffectiveClip();
  bool inside = cairo_region_contains_point(clip, p.x, p.y);
  cairo_region_destroy(clip);
  return inside ? TRUE : FALSE;
}

BOOL RectVisible(HDC handle, const RECT* rect) {
  auto dc = DcFromHandle(handle);
  if (!dc || !rect) return FALSE;
  cairo_region_t* clip = dc->EffectiveClip();
  cairo_rectangle_int_t r = CairoRect(OffsetRectBy(*rect, dc->TargetOffset()));
  bool visible = cairo_region_contains_rectangle(clip, &r) != CAIRO_REGION_OVERLAP_OUT;
  cairo_region_destroy(clip);
  return visible ? TRUE : FALSE;
}

// The path from a DC to its pixels: clip rectangles, masks and raster ops.
#include <algorithm>

#include "platform/win/GdiDcInternal.h"
#include "platform/win/GdiSurface.h"

namespace vqplatform::gdi {

RECT NormalizeRect(RECT r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

RECT IntersectRects(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (RectIsEmpty(r)) r = RECT{0, 0, 0, 0};
  return r;
}

RECT UnionRects(const RECT& a, const RECT& b) {
  if (RectIsEmpty(a)) return b;
  if (RectIsEmpty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

RECT OffsetRectBy(RECT r, POINT d) {
  return RECT{r.left + d.x, r.top + d.y, r.right + d.x, r.bottom + d.y};
}

DcState DcState::Copy() const {
  DcState copy = *this;
  if (clip) {
    copy.clip = std::make_shared<RegionObject>();
    cairo_region_union(copy.clip->region, clip->region);
  }
  return copy;
}

DcObject::~DcObject() { Unselect(); }

void DcObject::Unselect() {
  if (state.bitmap && kind == Kind::Memory) state.bitmap->selected = false;
  for (auto& s : saved)
    if (s.bitmap) s.bitmap->selected = false;
}

cairo_region_t* DcObject::EffectiveClip() const {
  auto target = Target();
  cairo_rectangle_int_t all{0, 0, target ? target->Width() : 0, target ? target->Height() : 0};
  cairo_region_t* region = cairo_region_create_rectangle(&all);
  auto intersectDeviceRegion = [&](const RegionObject& r) {
    cairo_region_t* moved = cairo_region_copy(r.region);
    cairo_region_translate(moved, origin.x, origin.y);
    cairo_region_intersect(region, moved);
    cairo_region_destroy(moved);
  };
  if (baseClip) intersectDeviceRegion(*baseClip);
  if (state.clip) intersectDeviceRegion(*state.clip);
  return region;
}

TargetAccess::TargetAccess(DcObject& dc, const RECT& targetBounds) : dc_(dc), bitmap_(dc.Target()) {
  if (!bitmap_) return;
  cairo_region_t* clip = dc.EffectiveClip();
  RECT b = NormalizeRect(targetBounds);
  cairo_rectangle_int_t box{b.left, b.top, b.right - b.left, b.bottom - b.top};
  cairo_region_intersect_rectangle(clip, &box);
  int n = cairo_region_num_rectangles(clip);
  for (int i = 0; i < n; ++i) {
    cairo_rectangle_int_t r;
    cairo_region_get_rectangle(clip, i, &r);
    rects_.push_back(RECT{r.x, r.y, r.x + r.width, r.y + r.height});
  }
  cairo_rectangle_int_t extents;
  cairo_region_get_extents(clip, &extents);
  cairo_region_destroy(clip);
  if (rects_.empty()) return;
  bounds_ = RECT{extents.x, extents.y, extents.x + extents.width, extents.y + extents.height};
  bitmap_->Load(bounds_);
}

TargetAccess::~TargetAccess() {
  if (rects_.empty()) return;
  cairo_surface_mark_dirty_rectangle(bitmap_->View(), bounds_.left, bounds_.top, bounds_.right - bounds_.left,
                                     bounds_.bottom - bounds_.top);
  bitmap_->Save(bounds_);
  dc_.dirty = UnionRects(dc_.dirty, bounds_);
}

RECT DrawableBounds(const DcObject& dc, const RECT& targetBounds) {
  if (!dc.Target()) return RECT{0, 0, 0, 0};
  cairo_region_t* clip = dc.EffectiveClip();
  cairo_rectangle_int_t e;
  cairo_region_get_extents(clip, &e);
  cairo_region_destroy(clip);
  return IntersectRects(NormalizeRect(targetBounds), RECT{e.x, e.y, e.x + e.width, e.y + e.height});
}

Mask::Mask(const RECT& bounds) : bounds_(NormalizeRect(bounds)) {
  int w = std::max<LONG>(bounds_.right - bounds_.left, 1), h = std::max<LONG>(bounds_.bottom - bounds_.top, 1);
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
}

Mask::~Mask() {
  if (cr_) cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

cairo_t* Mask::Begin(POINT targetOffset) {
  cr_ = cairo_create(surface_);
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  cairo_translate(cr_, targetOffset.x - bounds_.left, targetOffset.y - bounds_.top);
  cairo_set_source_rgba(cr_, 0, 0, 0, 1);
  return cr_;
}

void Mask::End() {
  if (cr_) {
    cairo_destroy(cr_);
    cr_ = nullptr;
  }
  cairo_surface_flush(surface_);
  data_ = cairo_image_surface_get_data(surface_);
  stride_ = cairo_image_surface_get_stride(surface_);
}

uint8_t Mask::At(int x, int y) const {
  if (!data_ || x < bounds_.left || y < bounds_.top || x >= bounds_.right || y >= bounds_.bottom) return 0;
  return data_[size_t(y - bounds_.top) * stride_ + (x - bounds_.left)];
}

void Mask::Set(int x, int y, uint8_t value) {
  if (!data_ || x < bounds_.left || y < bounds_.top || x >= bounds_.right || y >= bounds_.bottom) return;
  data_[size_t(y - bounds_.top) * stride_ + (x - bounds_.left)] = value;
}

uint32_t ApplyRop2(int rop2, uint32_t p, uint32_t d) {
  uint32_t r;
  switch (rop2) {
    case R2_BLACK: r = 0; break;
    case R2_NOTMERGEPEN: r = ~(p | d); break;
    case R2_MASKNOTPEN: r = ~p & d; break;
    case R2_NOTCOPYPEN: r = ~p; break;
    case R2_MASKPENNOT: r = p & ~d; break;
    case R2_NOT: r = ~d; break;
    case R2_XORPEN: r = p ^ d; break;
    case R2_NOTMASKPEN: r = ~(p & d); break;
    case R2_MASKPEN: r = p & d; break;
    case R2_NOTXORPEN: r = ~(p ^ d); break;
    case R2_NOP: r = d; break;
    case R2_MERGENOTPEN: r = ~p | d; break;
    case R2_MERGEPENNOT: r = p | ~d; break;
    case R2_MERGEPEN: r = p | d; break;
    case R2_WHITE: r = 0xFFFFFF; break;
    default: r = p; break;
  }
  return (r & 0x00FFFFFFu) | (d & 0xFF000000u);
}

void BlendMask(TargetAccess& access, const Mask& mask, uint32_t color) {
  access.ForEachPixel(mask.Bounds(), [&](int x, int y, uint32_t& px) {
    uint32_t a = mask.At(x, y);
    if (!a) return;
    uint32_t out = px & 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
      uint32_t c = (color >> shift) & 0xFF, d = (px >> shift) & 0xFF;
      out |= ((c * a + d * (255 - a) + 127) / 255) << shift;
    }
    px = out;
  });
}

BrushPaint BrushPaintFor(const DcObject& dc, std::shared_ptr<BrushObject> brush) {
  BrushPaint paint;
  if (brush && brush->stock && brush == StockObject(DC_BRUSH)) {
    auto dcBrush = std::make_shared<BrushObject>();
    dcBrush->color = dc.state.dcBrushColor;
    brush = dcBrush;
  }
  paint.brush = std::move(brush);
  paint.origin = POINT{dc.state.brushOrg.x + dc.origin.x, dc.state.brushOrg.y + dc.origin.y};
  paint.background = dc.state.bkColor;
  paint.transparentGaps = dc.state.bkMode == TRANSPARENT;
  return paint;
}

COLORREF PenColor(const DcObject& dc) {
  if (dc.state.pen && dc.state.pen == StockObject(DC_PEN)) return dc.state.dcPenColor;
  return dc.state.pen ? dc.state.pen->color : 0;
}

}  // namespace vqplatform::gdi

#pragma once
// Device contexts behind HDC handles and the access path every drawing
// operation takes to a DC's pixels: bounds, clipping, masks and raster ops.

#include "platform/win/GdiInternal.h"

namespace vqplatform::gdi {

struct DcState {
  std::shared_ptr<PenObject> pen;
  std::shared_ptr<BrushObject> brush;
  std::shared_ptr<FontObject> font;
  std::shared_ptr<BitmapObject> bitmap;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  COLORREF dcBrushColor = RGB(255, 255, 255);
  COLORREF dcPenColor = RGB(0, 0, 0);
  int bkMode = OPAQUE;
  UINT textAlign = TA_TOP | TA_LEFT;
  int stretchMode = BLACKONWHITE;
  int rop2 = R2_COPYPEN;
  int polyFillMode = ALTERNATE;
  POINT viewportOrg{0, 0};
  POINT windowOrg{0, 0};
  POINT brushOrg{0, 0};
  POINT currentPos{0, 0};
  std::shared_ptr<RegionObject> clip;  // DC device coordinates; null: none

  DcState Copy() const;  // the clip region is copied, not shared
};

class DcObject : public GdiObject {
 public:
  enum class Kind { Memory, Window, Screen };
  DcObject(Kind kind) : GdiObject(kind == Kind::Memory ? OBJ_MEMDC : OBJ_DC), kind(kind) {}
  ~DcObject() override;

  Kind kind;
  DcState state;
  std::vector<DcState> saved;

  // Window DCs: the surface and its placement.
  HWND window = nullptr;
  std::shared_ptr<BitmapObject> surface;
  POINT origin{0, 0};                       // DC device (0,0) in target coordinates
  std::shared_ptr<RegionObject> baseClip;   // DC device coordinates; null: whole target
  RECT dirty{0, 0, 0, 0};                   // target coordinates
  std::vector<std::pair<int, int>> caps;    // GetDeviceCaps values of special DCs (printers)

  std::shared_ptr<BitmapObject> Target() const { return kind == Kind::Memory ? state.bitmap : surface; }
  // Logical point to target coordinates.
  POINT ToTarget(int x, int y) const {
    return POINT{x - state.windowOrg.x + state.viewportOrg.x + origin.x,
                 y - state.windowOrg.y + state.viewportOrg.y + origin.y};
  }
  POINT TargetOffset() const { return ToTarget(0, 0); }
  // The region drawing may touch, in target coordinates (caller destroys).
  cairo_region_t* EffectiveClip() const;
  void Unselect();
};

std::shared_ptr<DcObject> DcFromHandle(HDC dc);

RECT NormalizeRect(RECT r);
RECT IntersectRects(const RECT& a, const RECT& b);
RECT UnionRects(const RECT& a, const RECT& b);
inline bool RectIsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }
RECT OffsetRectBy(RECT r, POINT d);

// Drawing into a DC's target inside device bounds: loads the bitmap's view
// for the bounds on construction and stores it back on destruction.
class TargetAccess {
 public:
  TargetAccess(DcObject& dc, const RECT& targetBounds);
  ~TargetAccess();
  TargetAccess(const TargetAccess&) = delete;
  TargetAccess& operator=(const TargetAccess&) = delete;

  bool Empty() const { return rects_.empty(); }
  BitmapObject& Bitmap() { return *bitmap_; }
  const RECT& Bounds() const { return bounds_; }
  // The clip rectangles inside the bounds, in target coordinates.
  const std::vector<RECT>& Rects() const { return rects_; }
  // Calls f(x, y, pixel&) for every target pixel in `r` that may be drawn.
  template <typename F>
  void ForEachPixel(const RECT& r, F&& f) {
    cairo_surface_flush(bitmap_->View());
    for (const RECT& clip : rects_) {
      RECT c = IntersectRects(clip, r);
      for (LONG y = c.top; y < c.bottom; ++y) {
        uint32_t* row = bitmap_->ViewRow(y);
        for (LONG x = c.left; x < c.right; ++x) f(x, y, row[x]);
      }
    }
  }
  // Calls f(row, count) with each run of drawable pixels of `r` in a row,
  // where row[0] is the pixel at (x, y) and f also gets x and y.
  template <typename F>
  void ForEachRun(const RECT& r, F&& f) {
    cairo_surface_flush(bitmap_->View());
    for (const RECT& clip : rects_) {
      RECT c = IntersectRects(clip, r);
      for (LONG y = c.top; y < c.bottom; ++y) f(bitmap_->ViewRow(y) + c.left, c.right - c.left, c.left, y);
    }
  }

 private:
  DcObject& dc_;
  std::shared_ptr<BitmapObject> bitmap_;
  RECT bounds_{0, 0, 0, 0};
  std::vector<RECT> rects_;
};

// An 8-bit coverage mask over a target rectangle, drawn with cairo.
class Mask {
 public:
  explicit Mask(const RECT& bounds);
  ~Mask();
  Mask(const Mask&) = delete;
  Mask& operator=(const Mask&) = delete;
  // A cairo context whose user space is the DC's logical space; shapes are
  // drawn without antialiasing unless the caller turns it on.
  cairo_t* Begin(POINT targetOffset);
  void End();
  uint8_t At(int x, int y) const;  // target coordinates
  void Set(int x, int y, uint8_t value);  // after End(); outside the bounds ignored
  const RECT& Bounds() const { return bounds_; }

 private:
  RECT bounds_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  BYTE* data_ = nullptr;
  int stride_ = 0;
};

// The part of a target rectangle that the DC may draw into (empty when
// nothing): masks are never larger than what can be drawn.
RECT DrawableBounds(const DcObject& dc, const RECT& targetBounds);

uint32_t ApplyRop2(int rop2, uint32_t pen, uint32_t dst);
// Sets mask pixels to the pen/brush pixel through ROP2 (binary masks);
// source(x, y, &colour) returns false to leave a pixel alone.
template <typename Source>
void PaintMask(TargetAccess& access, const Mask& mask, int rop2, Source&& source) {
  access.ForEachPixel(mask.Bounds(), [&](int x, int y, uint32_t& px) {
    if (!mask.At(x, y)) return;
    uint32_t color;
    if (source(x, y, &color)) px = ApplyRop2(rop2, color, px);
  });
}
// Blends a colour into the target by the mask's coverage (text).
void BlendMask(TargetAccess& access, const Mask& mask, uint32_t color);


// Fills target pixels of a rectangle with a brush through ROP2.
void FillTargetRect(DcObject& dc, const RECT& target, const BrushPaint& paint, int rop2);

// The DC's brush ready for painting at target coordinates.
BrushPaint BrushPaintFor(const DcObject& dc, std::shared_ptr<BrushObject> brush);
// The pen colour (DC_PEN follows SetDCPenColor).
COLORREF PenColor(const DcObject& dc);

}  // namespace vqplatform::gdi

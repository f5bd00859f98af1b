#pragma once
// The layer's GDI objects behind the handles. Not part of the Win32 surface:
// only the Gdi*.cpp files and the window layer's surface code include it.
#include <cairo.h>

#include <memory>
#include <mutex>
#include <vector>

#include "platform/win/GdiPixels.h"
#include "platform/win/GdiTypes.h"

namespace vqplatform::gdi {

class GdiObject {
 public:
  explicit GdiObject(int type) : type_(type) {}
  virtual ~GdiObject() = default;
  int Type() const { return type_; }
  bool stock = false;

 private:
  int type_;
};

class PenObject : public GdiObject {
 public:
  PenObject() : GdiObject(OBJ_PEN) {}
  UINT style = PS_SOLID;  // with the end-cap, join and type bits
  int width = 1;
  COLORREF color = 0;
  int Kind() const { return style & PS_STYLE_MASK; }
  // Pens of width 0 or 1 are drawn pixel by pixel, with their dash pattern.
  bool Cosmetic() const { return width <= 1; }
};

class BitmapObject;

class BrushObject : public GdiObject {
 public:
  BrushObject() : GdiObject(OBJ_BRUSH) {}
  UINT style = BS_SOLID;
  COLORREF color = 0;
  int hatch = 0;
  std::shared_ptr<BitmapObject> pattern;  // BS_PATTERN: a private copy
  int sysColorIndex = -1;                 // brushes of GetSysColorBrush
};

class FontObject : public GdiObject {
 public:
  FontObject() : GdiObject(OBJ_FONT) {}
  LOGFONTW logFont{};
};

// A bitmap keeps its own pixel store in its own layout (any depth, either
// row order). Drawing goes through a 32-bit top-down view: for 32-bit
// top-down bitmaps the view is the store itself, for all others a shadow
// that is loaded from and stored back to the store around each operation.
class BitmapObject : public GdiObject {
 public:
  // topDown: rows run from the top; bits: optional initial rows in that
  // layout. Returns null on a bad size or format.
  static std::shared_ptr<BitmapObject> Create(int width, int height, const PixelFormat& format,
                                              bool topDown, bool dibSection, const void* bits = nullptr);
  // A DIB section over rows that someone else owns (and keeps alive).
  static std::shared_ptr<BitmapObject> CreateOver(int width, int height, const PixelFormat& format, bool topDown,
                                                  void* store);
  ~BitmapObject() override;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Stride() const { return stride_; }
  bool TopDown() const { return topDown_; }
  bool IsDibSection() const { return dibSection_; }
  const PixelFormat& Format() const { return format_; }
  PixelFormat& MutableFormat() { return format_; }
  BYTE* Bits() { return store_; }
  BYTE* StoredRow(int y) { return store_ + size_t(topDown_ ? y : height_ - 1 - y) * stride_; }

  // The working view. Load converts the store into it for the rectangle
  // (clipped to the bitmap), Save converts it back; both are no-ops when
  // the view is the store.
  cairo_surface_t* View() { return view_; }
  uint32_t* ViewRow(int y) { return reinterpret_cast<uint32_t*>(viewData_ + size_t(y) * viewStride_); }
  void Load(const RECT& r);
  void Save(const RECT& r);
  bool ViewIsStore() const { return viewIsStore_; }

  // Selection bookkeeping: a bitmap is in at most one DC at a time.
  bool selected = false;

 private:
  BitmapObject() : GdiObject(OBJ_BITMAP) {}
  bool Clip(const RECT& r, RECT* out) const;

  int width_ = 0, height_ = 0, stride_ = 0;
  bool Init(int width, int height, const PixelFormat& format, bool topDown, bool dibSection, void* store);

  bool topDown_ = true, dibSection_ = false, viewIsStore_ = false, ownsStore_ = true;
  PixelFormat format_;
  BYTE* store_ = nullptr;
  cairo_surface_t* view_ = nullptr;
  BYTE* viewData_ = nullptr;
  int viewStride_ = 0;
};

class RegionObject : public GdiObject {
 public:
  RegionObject() : GdiObject(OBJ_REGION), region(cairo_region_create()) {}
  ~RegionObject() override { cairo_region_destroy(region); }
  cairo_region_t* region;
};

// ---- Handle table ----
// Handles are the objects' addresses; the table keeps the live ones, so a
// stale or foreign handle is refused instead of followed.
void* RegisterObject(std::shared_ptr<GdiObject> object);
std::shared_ptr<GdiObject> LookupObject(const void* handle);
bool UnregisterObject(const void* handle);

template <typename T>
std::shared_ptr<T> Lookup(const void* handle, int type) {
  auto object = LookupObject(handle);
  if (!object || object->Type() != type) return nullptr;
  return std::static_pointer_cast<T>(object);
}

template <typename H, typename T>
H MakeHandle(std::shared_ptr<T> object) {
  return static_cast<H>(RegisterObject(std::move(object)));
}

std::shared_ptr<PenObject> PenFromHandle(HPEN pen);
std::shared_ptr<BrushObject> BrushFromHandle(HBRUSH brush);  // also (HBRUSH)(COLOR_x + 1)
std::shared_ptr<FontObject> FontFromHandle(HFONT font);
std::shared_ptr<BitmapObject> BitmapFromHandle(HBITMAP bitmap);
std::shared_ptr<RegionObject> RegionFromHandle(HRGN region);

// The stock objects (created on first use, never deleted).
std::shared_ptr<GdiObject> StockObject(int index);
// The one-pixel monochrome bitmap of a new memory DC.
std::shared_ptr<BitmapObject> DefaultBitmap();

// Colour of a solid brush's pixel at device point (x, y) for pattern and
// hatch brushes; `background` is used for the gaps of hatched brushes.
struct BrushPaint {
  std::shared_ptr<BrushObject> brush;
  POINT origin{0, 0};
  COLORREF background = RGB(255, 255, 255);
  bool transparentGaps = false;
  bool IsNull() const { return !brush || brush->style == BS_NULL; }
  // False when the pixel stays untouched (a gap of a transparent hatch).
  bool PixelAt(int x, int y, uint32_t* pixel) const;
};

}  // namespace vqplatform::gdi

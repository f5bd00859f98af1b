#include "platform/win/GdiObjects.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDcInternal.h"
#include "platform/win/GdiText.h"
#include "platform/win/SysColors.h"
#include "platform/win/Singletons.h"

namespace vqplatform::gdi {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<const void*, std::shared_ptr<GdiObject>> objects;
};

HandleTable& Table() {
  static HandleTable* table = MakeSingleton<HandleTable>();  // past static destructors
  return *table;
}

}  // namespace

void* RegisterObject(std::shared_ptr<GdiObject> object) {
  if (!object) return nullptr;
  void* handle = object.get();
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  t.objects[handle] = std::move(object);
  return handle;
}

std::shared_ptr<GdiObject> LookupObject(const void* handle) {
  if (!handle) return nullptr;
  HandleTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find(handle);
  return it == t.objects.end() ? nullptr : it->second;
}

bool UnregisterObject(const void* handle) {
  HandleTable& t = Table();
  std::shared_ptr<GdiObject> doomed;  // destroyed outside the lock
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.objects.find(handle);
  if (it == t.objects.end()) return false;
  if (it->second->stock) return true;
  doomed = std::move(it->second);
  t.objects.erase(it);
  return true;
}

std::shared_ptr<PenObject> PenFromHandle(HPEN pen) { return Lookup<PenObject>(pen, OBJ_PEN); }
std::shared_ptr<FontObject> FontFromHandle(HFONT font) { return Lookup<FontObject>(font, OBJ_FONT); }
std::shared_ptr<BitmapObject> BitmapFromHandle(HBITMAP bitmap) { return Lookup<BitmapObject>(bitmap, OBJ_BITMAP); }
std::shared_ptr<RegionObject> RegionFromHandle(HRGN region) { return Lookup<RegionObject>(region, OBJ_REGION); }

std::shared_ptr<BrushObject> BrushFromHandle(HBRUSH brush) {
  // Window classes and FillRect accept a system colour index + 1 as a brush.
  auto value = reinterpret_cast<uintptr_t>(brush);
  if (value >= 1 && value <= COLOR_MENUBAR + 1) {
    return Lookup<BrushObject>(GetSysColorBrush(static_cast<int>(value - 1)), OBJ_BRUSH);
  }
  return Lookup<BrushObject>(brush, OBJ_BRUSH);
}

namespace {

std::shared_ptr<GdiObject> MakeStock(int index) {
  auto brush = [](UINT style, COLORREF color) {
    auto b = std::make_shared<BrushObject>();
    b->style = style;
    b->color = color;
    return b;
  };
  auto pen = [](int style, COLORREF color) {
    auto p = std::make_shared<PenObject>();
    p->style = style;
    p->color = color;
    return p;
  };
  auto font = [](const wchar_t* face, LONG height, LONG weight) {
    auto f = std::make_shared<FontObject>();
    f->logFont.lfHeight = height;
    f->logFont.lfWeight = weight;
    f->logFont.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(f->logFont.lfFaceName, face, LF_FACESIZE - 1);
    return f;
  };
  switch (index) {
    case WHITE_BRUSH: return brush(BS_SOLID, RGB(255, 255, 255));
    case LTGRAY_BRUSH: return brush(BS_SOLID, RGB(192, 192, 192));
    case GRAY_BRUSH: return brush(BS_SOLID, RGB(128, 128, 128));
    case DKGRAY_BRUSH: return brush(BS_SOLID, RGB(64, 64, 64));
    case BLACK_BRUSH: return brush(BS_SOLID, RGB(0, 0, 0));
    case NULL_BRUSH: return brush(BS_NULL, 0);
    case DC_BRUSH: return brush(BS_SOLID, RGB(255, 255, 255));
    case WHITE_PEN: return pen(PS_SOLID, RGB(255, 255, 255));
    case BLACK_PEN: return pen(PS_SOLID, RGB(0, 0, 0));
    case NULL_PEN: return pen(PS_NULL, 0);
    case DC_PEN: return pen(PS_SOLID, RGB(0, 0, 0));
    case SYSTEM_FONT: return font(L"System", 16, FW_BOLD);
    case DEFAULT_GUI_FONT: return font(L"MS Shell Dlg", -11, FW_NORMAL);
    case ANSI_VAR_FONT: return font(L"MS Sans Serif", -11, FW_NORMAL);
    case DEVICE_DEFAULT_FONT: return font(L"System", 16, FW_NORMAL);
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT: {
      auto f = font(L"Liberation Mono", 16, FW_NORMAL);
      f->logFont.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
      return f;
    }
    default: return nullptr;
  }
}

}  // namespace

std::shared_ptr<GdiObject> StockObject(int index) {
  static std::once_flag once;
  static std::shared_ptr<GdiObject>* stock = nullptr;
  std::call_once(once, [] {
    stock = MakeSingleton<std::array<std::shared_ptr<GdiObject>, DC_PEN + 1>>()->data();
    for (int i = 0; i <= DC_PEN; ++i) {
      std::shared_ptr<GdiObject> object = MakeStock(i);
      if (!object) continue;
      object->stock = true;
      RegisterObject(object);
      stock[i] = object;
    }
  });
  if (index < 0 || index > DC_PEN) return nullptr;
  return stock[index];
}

std::shared_ptr<BitmapObject> DefaultBitmap() {
  static std::once_flag once;
  static std::shared_ptr<BitmapObject>* bitmap = nullptr;
  std::call_once(once, [] {
    std::vector<RGBQUAD> mono = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    bitmap = MakeSingleton<std::shared_ptr<BitmapObject>>();
    *bitmap = BitmapObject::Create(1, 1, PixelFormat(1, mono), true, false);
    (*bitmap)->stock = true;
    RegisterObject(*bitmap);
  });
  return *bitmap;
}

bool BrushPaint::PixelAt(int x, int y, uint32_t* pixel) const {
  switch (brush->style) {
    case BS_SOLID: *pixel = PixelFromColor(brush->color); return true;
    case BS_HATCHED: {
      int px = ((x - origin.x) % 8 + 8) % 8, py = ((y - origin.y) % 8 + 8) % 8;
      bool on = false;
      switch (brush->hatch) {
        case HS_HORIZONTAL: on = py == 7; break;
        case HS_VERTICAL: on = px == 7; break;
        case HS_FDIAGONAL: on = px == py; break;
        case HS_BDIAGONAL: on = px == 7 - py; break;
        case HS_CROSS: on = px == 7 || py == 7; break;
        default: on = px == py || px == 7 - py; break;
      }
      if (on) {
        *pixel = PixelFromColor(brush->color);
        return true;
      }
      if (transparentGaps) return false;
      *pixel = PixelFromColor(background);
      return true;
    }
    case BS_PATTERN:
    case BS_DIBPATTERN: {
      BitmapObject& b = *brush->pattern;
      int px = ((x - origin.x) % b.Width() + b.Width()) % b.Width();
      int py = ((y - origin.y) % b.Height() + b.Height()) % b.Height();
      b.Format().Decode(b.StoredRow(py), px, 1, pixel);
      *pixel &= 0x00FFFFFFu;
      return true;
    }
    default: return false;
  }
}

}  // namespace vqplatform::gdi

using namespace vqplatform::gdi;

HGDIOBJ GetStockObject(int index) {
  if (index == DEFAULT_PALETTE) return nullptr;
  return StockObject(index).get();
}

DWORD GetObjectType(HGDIOBJ object) {
  auto o = LookupObject(object);
  return o ? static_cast<DWORD>(o->Type()) : 0;
}

HPEN CreatePen(int style, int width, COLORREF color) {
  int kind = style & PS_STYLE_MASK;
  if (kind > PS_ALTERNATE) return nullptr;
  auto pen = std::make_shared<PenObject>();
  pen->style = static_cast<UINT>(style);
  pen->width = width < 0 ? 0 : width;
  pen->color = color & 0x00FFFFFFu;
  return MakeHandle<HPEN>(pen);
}

HPEN CreatePenIndirect(const LOGPEN* logPen) {
  if (!logPen) return nullptr;
  return CreatePen(static_cast<int>(logPen->lopnStyle), logPen->lopnWidth.x, logPen->lopnColor);
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD, const DWORD*) {
  if (!brush) return nullptr;
  HPEN pen = CreatePen(static_cast<int>(style & ~PS_TYPE_MASK), static_cast<int>(width), brush->lbColor);
  if (auto p = PenFromHandle(pen); p && (style & PS_TYPE_MASK) == PS_COSMETIC) p->width = 1;
  return pen;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto brush = std::make_shared<BrushObject>();
  brush->color = color & 0x00FFFFFFu;
  return MakeHandle<HBRUSH>(brush);
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
  auto brush = std::make_shared<BrushObject>();
  brush->style = BS_HATCHED;
  brush->hatch = hatch;
  brush->color = color & 0x00FFFFFFu;
  return MakeHandle<HBRUSH>(brush);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  auto source = BitmapFromHandle(bitmap);
  if (!source) return nullptr;
  // The brush keeps its own copy: the bitmap may be deleted afterwards.
  auto copy = BitmapObject::Create(source->Width(), source->Height(), source->Format(), source->TopDown(), false,
                                   source->Bits());
  if (!copy) return nullptr;
  auto brush = std::make_shared<BrushObject>();
  brush->style = BS_PATTERN;
  brush->pattern = copy;
  return MakeHandle<HBRUSH>(brush);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* logBrush) {
  if (!logBrush) return nullptr;
  switch (logBrush->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(logBrush->lbColor);
    case BS_HATCHED: return CreateHatchBrush(static_cast<int>(logBrush->lbHatch), logBrush->lbColor);
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(logBrush->lbHatch));
    case BS_NULL: return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    default: return nullptr;
  }
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (planes != 1) return nullptr;
  if (bitsPerPixel == 1) {
    std::vector<RGBQUAD> mono = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    // Device bitmaps pad rows to 2 bytes; the store pads to 4, so copy by row.
    auto bitmap = BitmapObject::Create(width, height, PixelFormat(1, mono), true, false);
    if (!bitmap) return nullptr;
    if (bits) {
      int srcStride = ((width + 15) / 16) * 2;
      for (int y = 0; y < height; ++y)
        std::memcpy(bitmap->StoredRow(y), static_cast<const BYTE*>(bits) + size_t(y) * srcStride, size_t(srcStride));
    }
    return MakeHandle<HBITMAP>(bitmap);
  }
  if (bitsPerPixel != 32 && bitsPerPixel != 24) return nullptr;
  auto bitmap = BitmapObject::Create(width, height, PixelFormat(32, {}), true, false);
  if (!bitmap) return nullptr;
  if (bits) {
    int srcStride = bitsPerPixel == 32 ? width * 4 : ((width * 3 + 1) / 2) * 2;
    PixelFormat srcFormat(static_cast<int>(bitsPerPixel), {});
    for (int y = 0; y < height; ++y) {
      srcFormat.Decode(static_cast<const BYTE*>(bits) + size_t(y) * srcStride, 0, width,
                       reinterpret_cast<uint32_t*>(bitmap->StoredRow(y)));
    }
  }
  return MakeHandle<HBITMAP>(bitmap);
}

HBITMAP CreateCompatibleBitmap(HDC handle, int width, int height) {
  // As in GDI: compatible with a memory DC that holds a monochrome bitmap
  // (a fresh one does) means monochrome; otherwise the screen's 32 bits.
  auto dc = DcFromHandle(handle);
  if (dc && dc->kind == DcObject::Kind::Memory && dc->state.bitmap && dc->state.bitmap->Format().Bpp() == 1) {
    return CreateBitmap(width, height, 1, 1, nullptr);
  }
  auto bitmap = BitmapObject::Create(width, height, PixelFormat(32, {}), true, false);
  return bitmap ? MakeHandle<HBITMAP>(bitmap) : nullptr;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
  if (bits) *bits = nullptr;
  PixelFormat format;
  if (!PixelFormat::FromInfo(info, usage, &format)) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biHeight == INT32_MIN) return nullptr;
  bool topDown = h.biHeight < 0;
  int height = topDown ? -h.biHeight : h.biHeight;
  if (format.Bpp() <= 8 && format.Palette().size() < (1u << format.Bpp())) {
    std::vector<RGBQUAD> palette = format.Palette();
    palette.resize(1u << format.Bpp(), RGBQUAD{0, 0, 0, 0});
    format.SetPalette(std::move(palette));
  }
  auto bitmap = BitmapObject::Create(h.biWidth, height, format, topDown, true);
  if (!bitmap) return nullptr;
  if (bits) *bits = bitmap->Bits();
  return MakeHandle<HBITMAP>(bitmap);
}

HBITMAP vqplatform::CreateDIBSectionOver(const BITMAPINFO* info, void* rows) {
  PixelFormat format;
  if (!rows || !PixelFormat::FromInfo(info, DIB_RGB_COLORS, &format)) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biHeight == INT32_MIN) return nullptr;
  auto bitmap = BitmapObject::CreateOver(h.biWidth, std::abs(h.biHeight), format, h.biHeight < 0, rows);
  return bitmap ? MakeHandle<HBITMAP>(bitmap) : nullptr;
}

HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits, const BITMAPINFO* info,
                       UINT usage) {
  if (!header) return nullptr;
  int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
  HBITMAP bitmap = CreateCompatibleBitmap(dc, header->biWidth, height);
  if (bitmap && (init & CBM_INIT) && bits && info) {
    SetDIBits(dc, bitmap, 0, static_cast<UINT>(height), bits, info, usage);
  }
  return bitmap;
}

LONG GetBitmapBits(HBITMAP handle, LONG bytes, LPVOID bits) {
  auto bitmap = BitmapFromHandle(handle);
  if (!bitmap || !bits || bytes <= 0) return 0;
  LONG total = bitmap->Stride() * bitmap->Height();
  LONG n = bytes < total ? bytes : total;
  std::memcpy(bits, bitmap->Bits(), static_cast<size_t>(n));
  return n;
}

LONG SetBitmapBits(HBITMAP handle, DWORD bytes, const void* bits) {
  auto bitmap = BitmapFromHandle(handle);
  if (!bitmap || !bits) return 0;
  LONG total = bitmap->Stride() * bitmap->Height();
  LONG n = static_cast<LONG>(bytes) < total ? static_cast<LONG>(bytes) : total;
  std::memcpy(bitmap->Bits(), bits, static_cast<size_t>(n));
  if (bitmap->ViewIsStore()) cairo_surface_mark_dirty(bitmap->View());
  return n;
}

BOOL GetBitmapDimensionEx(HBITMAP handle, SIZE* size) {
  if (!BitmapFromHandle(handle) || !size) return FALSE;
  *size = SIZE{0, 0};
  return TRUE;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer) {
  auto object = LookupObject(handle);
  if (!object) return 0;
  switch (object->Type()) {
    case OBJ_PEN: {
      if (!buffer) return sizeof(LOGPEN);
      if (size < static_cast<int>(sizeof(LOGPEN))) return 0;
      auto& pen = static_cast<PenObject&>(*object);
      LOGPEN lp{pen.style, POINT{pen.width, 0}, pen.color};
      std::memcpy(buffer, &lp, sizeof(lp));
      return sizeof(LOGPEN);
    }
    case OBJ_BRUSH: {
      if (!buffer) return sizeof(LOGBRUSH);
      if (size < static_cast<int>(sizeof(LOGBRUSH))) return 0;
      auto& brush = static_cast<BrushObject&>(*object);
      LOGBRUSH lb{brush.style, brush.color, static_cast<ULONG_PTR>(brush.hatch)};
      std::memcpy(buffer, &lb, sizeof(lb));
      return sizeof(LOGBRUSH);
    }
    case OBJ_FONT: {
      if (!buffer) return sizeof(LOGFONTW);
      if (size < static_cast<int>(sizeof(LOGFONTW))) return 0;
      std::memcpy(buffer, &static_cast<FontObject&>(*object).logFont, sizeof(LOGFONTW));
      return sizeof(LOGFONTW);
    }
    case OBJ_BITMAP: {
      auto& b = static_cast<BitmapObject&>(*object);
      bool dib = b.IsDibSection();
      int needed = dib && size >= static_cast<int>(sizeof(DIBSECTION)) ? sizeof(DIBSECTION) : sizeof(BITMAP);
      if (!buffer) return needed;
      if (size < static_cast<int>(sizeof(BITMAP))) return 0;
      BITMAP bm{0, b.Width(), b.Height(), b.Stride(), 1, static_cast<WORD>(b.Format().Bpp()),
                dib ? b.Bits() : nullptr};
      if (needed == static_cast<int>(sizeof(DIBSECTION))) {
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
        ds.dsBmih.biWidth = b.Width();
        ds.dsBmih.biHeight = b.TopDown() ? -b.Height() : b.Height();
        ds.dsBmih.biPlanes = 1;
        ds.dsBmih.biBitCount = static_cast<WORD>(b.Format().Bpp());
        ds.dsBmih.biCompression = BI_RGB;
        ds.dsBmih.biSizeImage = static_cast<DWORD>(b.Stride() * b.Height());
        ds.dsBmih.biClrUsed = static_cast<DWORD>(b.Format().Palette().size());
        std::memcpy(ds.dsBitfields, b.Format().Masks(), sizeof(ds.dsBitfields));
        std::memcpy(buffer, &ds, sizeof(ds));
      } else {
        std::memcpy(buffer, &bm, sizeof(bm));
      }
      return needed;
    }
    default: return 0;
  }
}

BOOL DeleteObject(HGDIOBJ object) {
  auto o = LookupObject(object);
  if (!o || o->Type() == OBJ_DC || o->Type() == OBJ_MEMDC) return FALSE;
  return UnregisterObject(object) ? TRUE : FALSE;
}

HBITMAP vqplatform::CreateTopDownDib24(HDC dc, int width, int height, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* raw = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &raw, nullptr, 0);
  if (bitmap && !raw) {
    DeleteObject(bitmap);
    bitmap = nullptr;
  }
  if (bits) *bits = bitmap ? raw : nullptr;
  return bitmap;
}

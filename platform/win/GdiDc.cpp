#include "platform/win/GdiDc.h"

#include <cwchar>

#include "platform/win/GdiDcInternal.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiRegion.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/Window.h"

namespace vqplatform::gdi {

std::shared_ptr<DcObject> DcFromHandle(HDC dc) {
  auto object = LookupObject(dc);
  if (!object || (object->Type() != OBJ_DC && object->Type() != OBJ_MEMDC)) return nullptr;
  return std::static_pointer_cast<DcObject>(object);
}

namespace {

HDC NewDc(std::shared_ptr<DcObject> dc) {
  dc->state.pen = std::static_pointer_cast<PenObject>(StockObject(BLACK_PEN));
  dc->state.brush = std::static_pointer_cast<BrushObject>(StockObject(WHITE_BRUSH));
  dc->state.font = std::static_pointer_cast<FontObject>(StockObject(SYSTEM_FONT));
  if (dc->kind == DcObject::Kind::Memory) dc->state.bitmap = DefaultBitmap();
  return MakeHandle<HDC>(dc);
}

}  // namespace

HDC NewWindowDc(HWND window, const WindowSurface& surface, HRGN clip) {
  auto bitmap = BitmapFromHandle(surface.bitmap);
  if (!bitmap) return nullptr;
  auto dc = std::make_shared<DcObject>(DcObject::Kind::Window);
  dc->window = window;
  dc->surface = bitmap;
  dc->origin = surface.origin;
  dc->baseClip = std::make_shared<RegionObject>();
  RECT v = NormalizeRect(surface.visible);
  cairo_rectangle_int_t r{v.left, v.top, v.right - v.left, v.bottom - v.top};
  cairo_region_union_rectangle(dc->baseClip->region, &r);
  if (auto shape = RegionFromHandle(surface.shape)) cairo_region_intersect(dc->baseClip->region, shape->region);
  for (const RECT& e : surface.excluded) {
    cairo_rectangle_int_t cut{e.left, e.top, e.right - e.left, e.bottom - e.top};
    cairo_region_subtract_rectangle(dc->baseClip->region, &cut);
  }
  if (auto extra = RegionFromHandle(clip)) cairo_region_intersect(dc->baseClip->region, extra->region);
  return NewDc(dc);
}

HDC NewScreenDc() { return NewDc(std::make_shared<DcObject>(DcObject::Kind::Screen)); }

void CloseDc(HDC handle, const std::shared_ptr<DcObject>& dc);

}  // namespace vqplatform::gdi

using namespace vqplatform::gdi;

HDC CreateCompatibleDC(HDC) { return NewDc(std::make_shared<DcObject>(DcObject::Kind::Memory)); }

HDC CreateDCW(LPCWSTR driver, LPCWSTR, LPCWSTR, const void*) {
  if (driver && std::wcscmp(driver, L"DISPLAY") == 0) return NewScreenDc();
  return nullptr;
}

BOOL DeleteDC(HDC handle) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  CloseDc(handle, dc);
  return TRUE;
}

HDC GetDC(HWND window) {
  bool screen = !window || window == GetDesktopWindow();
  return screen ? NewScreenDc() : vqplatform::CreateWindowSurfaceDC(window, true, nullptr);
}

HDC GetWindowDC(HWND window) {
  bool screen = !window || window == GetDesktopWindow();
  return screen ? NewScreenDc() : vqplatform::CreateWindowSurfaceDC(window, false, nullptr);
}

int ReleaseDC(HWND, HDC handle) {
  auto dc = DcFromHandle(handle);
  if (!dc || dc->kind == DcObject::Kind::Memory) return 0;
  CloseDc(handle, dc);
  return 1;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
  auto dc = DcFromHandle(handle);
  auto o = LookupObject(object);
  if (!dc || !o) return nullptr;
  DcState& s = dc->state;
  switch (o->Type()) {
    case OBJ_PEN: {
      HGDIOBJ previous = s.pen.get();
      s.pen = std::static_pointer_cast<PenObject>(o);
      return previous;
    }
    case OBJ_BRUSH: {
      HGDIOBJ previous = s.brush.get();
      s.brush = std::static_pointer_cast<BrushObject>(o);
      return previous;
    }
    case OBJ_FONT: {
      HGDIOBJ previous = s.font.get();
      s.font = std::static_pointer_cast<FontObject>(o);
      return previous;
    }
    case OBJ_BITMAP: {
      if (dc->kind != DcObject::Kind::Memory) return nullptr;
      auto bitmap = std::static_pointer_cast<BitmapObject>(o);
      if (bitmap == s.bitmap) return bitmap.get();
      // A bitmap lives in one DC at a time (the shared default excepted).
      if (bitmap->selected && bitmap != DefaultBitmap()) return nullptr;
      HGDIOBJ previous = s.bitmap.get();
      if (s.bitmap) s.bitmap->selected = false;
      s.bitmap = bitmap;
      bitmap->selected = true;
      // Selecting a bitmap resets the clip region to the whole bitmap.
      s.clip.reset();
      return previous;
    }
    case OBJ_REGION: {
      int kind = SelectClipRgn(handle, static_cast<HRGN>(object));
      return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(kind));
    }
    default: return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC handle, UINT type) {
  auto dc = DcFromHandle(handle);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->state.pen.get();
    case OBJ_BRUSH: return dc->state.brush.get();
    case OBJ_FONT: return dc->state.font.get();
    case OBJ_BITMAP: return dc->Target().get();
    default: return nullptr;
  }
}

int SaveDC(HDC handle) {
  auto dc = DcFromHandle(handle);
  if (!dc) return 0;
  dc->saved.push_back(dc->state.Copy());
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC handle, int level) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  int count = static_cast<int>(dc->saved.size());
  if (level < 0) level = count + 1 + level;
  if (level < 1 || level > count) return FALSE;
  DcState restored = dc->saved[level - 1];
  dc->saved.resize(level - 1);
  if (dc->state.bitmap != restored.bitmap) {
    if (dc->state.bitmap) dc->state.bitmap->selected = false;
    if (restored.bitmap) restored.bitmap->selected = true;
  }
  dc->state = restored;
  return TRUE;
}

namespace {

template <typename T, typename F>
T Exchange(HDC handle, T failure, F member) {
  auto dc = DcFromHandle(handle);
  if (!dc) return failure;
  return member(dc->state);
}

}  // namespace

#define VQ_DC_ACCESSORS(SetName, GetName, Type, field, failure)                                 \
  Type SetName(HDC dc, Type value) {                                                            \
    return Exchange<Type>(dc, failure, [&](DcState& s) { Type old = s.field; s.field = value; return old; }); \
  }                                                                                             \
  Type GetName(HDC dc) {                                                                        \
    return Exchange<Type>(dc, failure, [&](DcState& s) { return s.field; });                    \
  }

VQ_DC_ACCESSORS(SetTextColor, GetTextColor, COLORREF, textColor, CLR_INVALID)
VQ_DC_ACCESSORS(SetBkColor, GetBkColor, COLORREF, bkColor, CLR_INVALID)
VQ_DC_ACCESSORS(SetTextAlign, GetTextAlign, UINT, textAlign, GDI_ERROR)
#undef VQ_DC_ACCESSORS

namespace {

// Setters of modes with a closed range of values: 0 on a bad value.
int SetMode(HDC handle, int value, int low, int high, int DcState::*field) {
  auto dc = DcFromHandle(handle);
  if (!dc || value < low || value > high) return 0;
  int old = dc->state.*field;
  dc->state.*field = value;
  return old;
}

int GetMode(HDC handle, int DcState::*field) {
  auto dc = DcFromHandle(handle);
  return dc ? dc->state.*field : 0;
}

}  // namespace

int SetBkMode(HDC dc, int mode) { return SetMode(dc, mode, TRANSPARENT, OPAQUE, &DcState::bkMode); }
int GetBkMode(HDC dc) { return GetMode(dc, &DcState::bkMode); }
int SetStretchBltMode(HDC dc, int mode) { return SetMode(dc, mode, BLACKONWHITE, HALFTONE, &DcState::stretchMode); }
int GetStretchBltMode(HDC dc) { return GetMode(dc, &DcState::stretchMode); }
int SetROP2(HDC dc, int rop2) { return SetMode(dc, rop2, R2_BLACK, R2_WHITE, &DcState::rop2); }
int GetROP2(HDC dc) { return GetMode(dc, &DcState::rop2); }
int SetPolyFillMode(HDC dc, int mode) { return SetMode(dc, mode, ALTERNATE, WINDING, &DcState::polyFillMode); }
int GetPolyFillMode(HDC dc) { return GetMode(dc, &DcState::polyFillMode); }

int SetMapMode(HDC dc, int mode) { return DcFromHandle(dc) && mode == MM_TEXT ? MM_TEXT : 0; }
int GetMapMode(HDC dc) { return DcFromHandle(dc) ? MM_TEXT : 0; }

COLORREF SetDCBrushColor(HDC handle, COLORREF color) {
  return Exchange<COLORREF>(handle, CLR_INVALID, [&](DcState& s) {
    COLORREF old = s.dcBrushColor;
    s.dcBrushColor = color;
    return old;
  });
}

COLORREF SetDCPenColor(HDC handle, COLORREF color) {
  return Exchange<COLORREF>(handle, CLR_INVALID, [&](DcState& s) {
    COLORREF old = s.dcPenColor;
    s.dcPenColor = color;
    return old;
  });
}

namespace {

BOOL SetOrigin(HDC handle, POINT DcState::*field, int x, int y, bool relative, LPPOINT previous) {
  auto dc = DcFromHandle(handle);
  if (!dc) return FALSE;
  POINT& p = dc->state.*field;
  if (previous) *previous = p;
  p = relative ? POINT{p.x + x, p.y + y} : POINT{x, y};
  return TRUE;
}

BOOL GetOrigin(HDC handle, POINT DcState::*field, LPPOINT out) {
  auto dc = DcFromHandle(handle);
  if (!dc || !out) return FALSE;
  *out = dc->state.*field;
  return TRUE;
}

}  // namespace

BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous) {
  return SetOrigin(dc, &DcState::viewportOrg, x, y, false, previous);
}
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin) { return GetOrigin(dc, &DcState::viewportOrg, origin); }
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous) {
  return SetOrigin(dc, &DcState::viewportOrg, dx, dy, true, previous);
}
BOOL SetWindowOrgEx(HDC dc, int x, int y, LPPOINT previous) {
  return SetOrigin(dc, &DcState::windowOrg, x, y, false, previous);
}
BOOL GetWindowOrgEx(HDC dc, LPPOINT origin) { return GetOrigin(dc, &DcState::windowOrg, origin); }
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, LPPOINT previous) {
  return SetOrigin(dc, &DcState::windowOrg, dx, dy, true, previous);
}
BOOL SetBrushOrgEx(HDC dc, int x, int y, LPPOINT previous) {
  return SetOrigin(dc, &DcState::brushOrg, x, y, false, previous);
}
BOOL GetBrushOrgEx(HDC dc, LPPOINT origin) { return GetOrigin(dc, &DcState::brushOrg, origin); }
BOOL GetCurrentPositionEx(HDC dc, LPPOINT position) { return GetOrigin(dc, &DcState::currentPos, position); }

BOOL LPtoDP(HDC handle, LPPOINT points, int count) {
  auto dc = DcFromHandle(handle);
  if (!dc || (!points && count > 0)) return FALSE;
  for (int i = 0; i < count; ++i) {
    points[i].x += dc->state.viewportOrg.x - dc->state.windowOrg.x;
    points[i].y += dc->state.viewportOrg.y - dc->state.windowOrg.y;
  }
  return TRUE;
}

BOOL DPtoLP(HDC handle, LPPOINT points, int count) {
  auto dc = DcFromHandle(handle);
  if (!dc || (!points && count > 0)) return FALSE;
  for (int i = 0; i < count; ++i) {
    points[i].x -= dc->state.viewportOrg.x - dc->state.windowOrg.x;
    points[i].y -= dc->state.viewportOrg.y - dc->state.windowOrg.y;
  }
  return TRUE;
}

bool vqplatform::SetDeviceCapsValue(HDC handle, int index, int value) {
  auto dc = DcFromHandle(handle);
  if (!dc) return false;
  for (auto& [i, v] : dc->caps) {
    if (i == index) {
      v = value;
      return true;
    }
  }
  dc->caps.emplace_back(index, value);
  return true;
}

int GetDeviceCaps(HDC handle, int index) {
  auto dc = DcFromHandle(handle);
  if (!dc) return 0;
  for (const auto& [i, v] : dc->caps)
    if (i == index) return v;
  SIZE screen = vqplatform::GetScreenSize();
  switch (index) {
    case HORZRES: return screen.cx;
    case VERTRES: return screen.cy;
    case HORZSIZE: return screen.cx * 254 / 960;
    case VERTSIZE: return screen.cy * 254 / 960;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT | RC_DIBTODEV;
    case PHYSICALWIDTH: return screen.cx;
    case PHYSICALHEIGHT: return screen.cy;
    default: return 0;
  }
}

HWND WindowFromDC(HDC handle) {
  auto dc = DcFromHandle(handle);
  return dc ? dc->window : nullptr;
}

BOOL GdiFlush() { return TRUE; }

#include "platform/mfc/GdiObjectClasses.h"

#include <map>
#include <memory>

#include "platform/mfc/CDC.h"
#include "platform/win/SysColors.h"

namespace {

// Temporary wrappers of this thread, by handle. A wrapper whose handle now
// names an object of another kind is replaced.
struct TempObject {
  DWORD type = 0;
  std::unique_ptr<CGdiObject> wrapper;
};

std::map<HGDIOBJ, TempObject>& TempObjects() {
  thread_local std::map<HGDIOBJ, TempObject> objects;
  return objects;
}

std::unique_ptr<CGdiObject> NewWrapper(DWORD type) {
  switch (type) {
    case OBJ_PEN: return std::make_unique<CPen>();
    case OBJ_BRUSH: return std::make_unique<CBrush>();
    case OBJ_FONT: return std::make_unique<CFont>();
    case OBJ_BITMAP: return std::make_unique<CBitmap>();
    case OBJ_REGION: return std::make_unique<CRgn>();
    default: return std::make_unique<CGdiObject>();
  }
}

}  // namespace

BOOL CGdiObject::Attach(HGDIOBJ object) {
  DeleteObject();
  m_hObject = object;
  return object != nullptr;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ object = m_hObject;
  m_hObject = nullptr;
  return object;
}

BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  HGDIOBJ object = Detach();
  return ::DeleteObject(object);
}

BOOL CGdiObject::CreateStockObject(int index) { return Attach(::GetStockObject(index)); }

CGdiObject* CGdiObject::FromHandle(HGDIOBJ object) {
  if (!object) return nullptr;
  DWORD type = ::GetObjectType(object);
  TempObject& entry = TempObjects()[object];
  if (!entry.wrapper || entry.type != type) {
    if (entry.wrapper) entry.wrapper->Detach();
    entry.wrapper = NewWrapper(type);
    entry.wrapper->m_hObject = object;
    entry.type = type;
  }
  return entry.wrapper.get();
}

void CGdiObject::DeleteTempMap() {
  for (auto& [handle, entry] : TempObjects()) {
    if (entry.wrapper) entry.wrapper->Detach();
  }
  TempObjects().clear();
}

BOOL CBrush::CreatePatternBrush(CBitmap* bitmap) {
  return bitmap && Attach(::CreatePatternBrush(static_cast<HBITMAP>(*bitmap)));
}

BOOL CBrush::CreateSysColorBrush(int index) { return Attach(::GetSysColorBrush(index)); }

BOOL CFont::CreatePointFontIndirect(const LOGFONTW* logFont, CDC* dc) {
  if (!logFont) return FALSE;
  HDC screen = nullptr;
  HDC measure = dc ? dc->m_hDC : (screen = ::GetDC(nullptr));
  int dpi = ::GetDeviceCaps(measure, LOGPIXELSY);
  if (screen) ::ReleaseDC(nullptr, screen);
  LOGFONTW lf = *logFont;
  // Tenths of a point to pixels, rounded, as a character height.
  long pixels = (static_cast<long>(lf.lfHeight) * (dpi ? dpi : 96) + 360) / 720;
  lf.lfHeight = -static_cast<LONG>(pixels < 0 ? -pixels : pixels);
  return CreateFontIndirect(&lf);
}

BOOL CFont::CreatePointFont(int pointSize, LPCWSTR face, CDC* dc) {
  LOGFONTW lf{};
  lf.lfHeight = pointSize;
  lf.lfCharSet = DEFAULT_CHARSET;
  if (face) wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreatePointFontIndirect(&lf, dc);
}

BOOL CBitmap::CreateBitmapIndirect(const BITMAP* bitmap) {
  if (!bitmap) return FALSE;
  return CreateBitmap(bitmap->bmWidth, bitmap->bmHeight, bitmap->bmPlanes, bitmap->bmBitsPixel, bitmap->bmBits);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height));
}

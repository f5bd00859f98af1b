#pragma once
// MFC's GDI object wrappers: CGdiObject with CPen, CBrush, CFont, CBitmap
// and CRgn. A wrapper owns its handle and deletes it when destroyed or
// re-created; FromHandle gives a temporary wrapper (owned by the calling
// thread, never deleting the handle) for handles the caller does not own.
#include "platform/mfc/Geometry.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiRegion.h"
#include "platform/win/GdiText.h"

class CDC;

class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject() { DeleteObject(); }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  HGDIOBJ m_hObject = nullptr;

  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  operator HGDIOBJ() const { return m_hObject; }  // NOLINT
  BOOL Attach(HGDIOBJ object);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  int GetObject(int size, LPVOID buffer) const { return ::GetObject(m_hObject, size, buffer); }
  UINT GetObjectType() const { return static_cast<UINT>(::GetObjectType(m_hObject)); }
  BOOL CreateStockObject(int index);
  BOOL UnrealizeObject() { return m_hObject != nullptr; }

  // A wrapper of the handle's own kind (CPen for a pen...), valid until the
  // thread deletes its temporary objects.
  static CGdiObject* FromHandle(HGDIOBJ object);
  static void DeleteTempMap();
};

class CPen : public CGdiObject {
 public:
  CPen() = default;
  CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
  BOOL CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }
  BOOL CreatePenIndirect(const LOGPEN* logPen) { return Attach(::CreatePenIndirect(logPen)); }
  operator HPEN() const { return static_cast<HPEN>(m_hObject); }  // NOLINT
  int GetLogPen(LOGPEN* logPen) const { return GetObject(sizeof(LOGPEN), logPen); }
  static CPen* FromHandle(HPEN pen) { return static_cast<CPen*>(CGdiObject::FromHandle(pen)); }
};

class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
  CBrush(int hatch, COLORREF color) { CreateHatchBrush(hatch, color); }
  BOOL CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }
  BOOL CreateHatchBrush(int hatch, COLORREF color) { return Attach(::CreateHatchBrush(hatch, color)); }
  BOOL CreatePatternBrush(class CBitmap* bitmap);
  BOOL CreateBrushIndirect(const LOGBRUSH* logBrush) { return Attach(::CreateBrushIndirect(logBrush)); }
  // The system's brush for a colour index (deleting it does nothing).
  BOOL CreateSysColorBrush(int index);
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }  // NOLINT
  int GetLogBrush(LOGBRUSH* logBrush) const { return GetObject(sizeof(LOGBRUSH), logBrush); }
  static CBrush* FromHandle(HBRUSH brush) { return static_cast<CBrush*>(CGdiObject::FromHandle(brush)); }
};

class CFont : public CGdiObject {
 public:
  BOOL CreateFontIndirect(const LOGFONTW* logFont) { return Attach(::CreateFontIndirectW(logFont)); }
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                  BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                  BYTE pitchAndFamily, LPCWSTR face) {
    return Attach(::CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                                charSet, outPrecision, clipPrecision, quality, pitchAndFamily, face));
  }
  // Sizes in tenths of a point, converted with the DC's (else the screen's)
  // vertical resolution.
  BOOL CreatePointFont(int pointSize, LPCWSTR face, CDC* dc = nullptr);
  BOOL CreatePointFontIndirect(const LOGFONTW* logFont, CDC* dc = nullptr);
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }  // NOLINT
  int GetLogFont(LOGFONTW* logFont) const { return GetObject(sizeof(LOGFONTW), logFont); }
  static CFont* FromHandle(HFONT font) { return static_cast<CFont*>(CGdiObject::FromHandle(font)); }
};

class CBitmap : public CGdiObject {
 public:
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
  }
  BOOL CreateBitmapIndirect(const BITMAP* bitmap);
  BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }  // NOLINT
  int GetBitmap(BITMAP* bitmap) const { return GetObject(sizeof(BITMAP), bitmap); }
  DWORD SetBitmapBits(DWORD bytes, const void* bits) {
    return static_cast<DWORD>(::SetBitmapBits(*this, bytes, bits));
  }
  DWORD GetBitmapBits(DWORD bytes, LPVOID bits) const {
    return static_cast<DWORD>(::GetBitmapBits(*this, static_cast<LONG>(bytes), bits));
  }
  CSize GetBitmapDimension() const {
    SIZE s{0, 0};
    ::GetBitmapDimensionEx(*this, &s);
    return CSize(s);
  }
  static CBitmap* FromHandle(HBITMAP bitmap) { return static_cast<CBitmap*>(CGdiObject::FromHandle(bitmap)); }
};

class CRgn : public CGdiObject {
 public:
  BOOL CreateRectRgn(int l, int t, int r, int b) { return Attach(::CreateRectRgn(l, t, r, b)); }
  BOOL CreateRectRgnIndirect(LPCRECT rect) { return Attach(::CreateRectRgnIndirect(rect)); }
  BOOL CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
    return Attach(::CreateRoundRectRgn(l, t, r, b, w, h));
  }
  BOOL CreateEllipticRgn(int l, int t, int r, int b) { return Attach(::CreateEllipticRgn(l, t, r, b)); }
  BOOL CreateEllipticRgnIndirect(LPCRECT rect) { return Attach(::CreateEllipticRgnIndirect(rect)); }
  BOOL CreatePolygonRgn(const POINT* points, int count, int mode) {
    return Attach(::CreatePolygonRgn(points, count, mode));
  }
  BOOL CreateFromData(const void* transform, int count, const RGNDATA* data) {
    return Attach(::ExtCreateRegion(transform, static_cast<DWORD>(count), data));
  }
  void SetRectRgn(int l, int t, int r, int b) { ::SetRectRgn(*this, l, t, r, b); }
  void SetRectRgn(LPCRECT rect) { ::SetRectRgn(*this, rect->left, rect->top, rect->right, rect->bottom); }
  int CombineRgn(const CRgn* a, const CRgn* b, int mode) {
    return ::CombineRgn(*this, a ? static_cast<HRGN>(*a) : nullptr, b ? static_cast<HRGN>(*b) : nullptr, mode);
  }
  int CopyRgn(const CRgn* source) { return CombineRgn(source, nullptr, RGN_COPY); }
  BOOL EqualRgn(const CRgn* other) const { return other && ::EqualRgn(*this, *other); }
  int OffsetRgn(int dx, int dy) { return ::OffsetRgn(*this, dx, dy); }
  int OffsetRgn(POINT p) { return ::OffsetRgn(*this, p.x, p.y); }
  int GetRgnBox(LPRECT box) const { return ::GetRgnBox(*this, box); }
  BOOL PtInRegion(int x, int y) const { return ::PtInRegion(*this, x, y); }
  BOOL PtInRegion(POINT p) const { return ::PtInRegion(*this, p.x, p.y); }
  BOOL RectInRegion(LPCRECT rect) const { return ::RectInRegion(*this, rect); }
  int GetRegionData(LPRGNDATA data, int count) const {
    return static_cast<int>(::GetRegionData(*this, static_cast<DWORD>(count), data));
  }
  operator HRGN() const { return static_cast<HRGN>(m_hObject); }  // NOLINT
  static CRgn* FromHandle(HRGN region) { return static_cast<CRgn*>(CGdiObject::FromHandle(region)); }
};

#include "platform/mfc/CDC.h"

#include <map>
#include <memory>

namespace {

std::map<HDC, std::unique_ptr<CDC>>& TempDcs() {
  thread_local std::map<HDC, std::unique_ptr<CDC>> dcs;
  return dcs;
}

template <typename T>
T* OldObject(HGDIOBJ old) {
  return static_cast<T*>(CGdiObject::FromHandle(old));
}

}  // namespace

CDC::~CDC() {
  if (m_hDC) ::DeleteDC(Detach());
}

BOOL CDC::Attach(HDC dc) {
  if (!dc) return FALSE;
  m_hDC = dc;
  m_hAttribDC = dc;
  return TRUE;
}

HDC CDC::Detach() {
  HDC dc = m_hDC;
  m_hDC = m_hAttribDC = nullptr;
  return dc;
}

BOOL CDC::DeleteDC() {
  if (!m_hDC) return FALSE;
  return ::DeleteDC(Detach());
}

CDC* CDC::FromHandle(HDC dc) {
  if (!dc) return nullptr;
  auto& slot = TempDcs()[dc];
  if (!slot) {
    slot = std::make_unique<CDC>();
    slot->Attach(dc);
  }
  return slot.get();
}

void CDC::DeleteTempMap() {
  for (auto& [dc, wrapper] : TempDcs()) wrapper->Detach();
  TempDcs().clear();
}

CPen* CDC::SelectObject(CPen* pen) { return OldObject<CPen>(::SelectObject(m_hDC, pen ? pen->m_hObject : nullptr)); }
CBrush* CDC::SelectObject(CBrush* brush) {
  return OldObject<CBrush>(::SelectObject(m_hDC, brush ? brush->m_hObject : nullptr));
}
CFont* CDC::SelectObject(CFont* font) {
  return OldObject<CFont>(::SelectObject(m_hDC, font ? font->m_hObject : nullptr));
}
CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  return OldObject<CBitmap>(::SelectObject(m_hDC, bitmap ? bitmap->m_hObject : nullptr));
}
CGdiObject* CDC::SelectStockObject(int index) {
  return CGdiObject::FromHandle(::SelectObject(m_hDC, ::GetStockObject(index)));
}
CPen* CDC::GetCurrentPen() const { return OldObject<CPen>(::GetCurrentObject(m_hDC, OBJ_PEN)); }
CBrush* CDC::GetCurrentBrush() const { return OldObject<CBrush>(::GetCurrentObject(m_hDC, OBJ_BRUSH)); }
CFont* CDC::GetCurrentFont() const { return OldObject<CFont>(::GetCurrentObject(m_hDC, OBJ_FONT)); }
CBitmap* CDC::GetCurrentBitmap() const { return OldObject<CBitmap>(::GetCurrentObject(m_hDC, OBJ_BITMAP)); }

CPoint CDC::SetViewportOrg(int x, int y) {
  POINT old{0, 0};
  ::SetViewportOrgEx(m_hDC, x, y, &old);
  return CPoint(old);
}
CPoint CDC::OffsetViewportOrg(int dx, int dy) {
  POINT old{0, 0};
  ::OffsetViewportOrgEx(m_hDC, dx, dy, &old);
  return CPoint(old);
}
CPoint CDC::GetViewportOrg() const {
  POINT p{0, 0};
  ::GetViewportOrgEx(m_hDC, &p);
  return CPoint(p);
}
CPoint CDC::SetWindowOrg(int x, int y) {
  POINT old{0, 0};
  ::SetWindowOrgEx(m_hDC, x, y, &old);
  return CPoint(old);
}
CPoint CDC::GetWindowOrg() const {
  POINT p{0, 0};
  ::GetWindowOrgEx(m_hDC, &p);
  return CPoint(p);
}
CPoint CDC::SetBrushOrg(int x, int y) {
  POINT old{0, 0};
  ::SetBrushOrgEx(m_hDC, x, y, &old);
  return CPoint(old);
}
CPoint CDC::MoveTo(int x, int y) {
  POINT old{0, 0};
  ::MoveToEx(m_hDC, x, y, &old);
  return CPoint(old);
}
CPoint CDC::GetCurrentPosition() const {
  POINT p{0, 0};
  ::GetCurrentPositionEx(m_hDC, &p);
  return CPoint(p);
}

void CDC::FillSolidRect(LPCRECT rect, COLORREF color) {
  ::SetBkColor(m_hDC, color);
  ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
  RECT r{x, y, x + cx, y + cy};
  FillSolidRect(&r, color);
}

void CDC::Draw3dRect(LPCRECT rect, COLORREF topLeft, COLORREF bottomRight) {
  Draw3dRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
  FillSolidRect(x, y, cx - 1, 1, topLeft);
  FillSolidRect(x, y, 1, cy - 1, topLeft);
  FillSolidRect(x + cx - 1, y, 1, cy, bottomRight);
  FillSolidRect(x, y + cy - 1, cx, 1, bottomRight);
}

CSize CDC::GetTextExtent(LPCWSTR text, int count) const {
  SIZE s{0, 0};
  ::GetTextExtentPoint32W(m_hDC, text, count, &s);
  return CSize(s);
}

CClientDC::CClientDC(HWND window) : m_hWnd(window) { Attach(::GetDC(window)); }
CClientDC::~CClientDC() {
  if (m_hDC) ::ReleaseDC(m_hWnd, Detach());
}

CWindowDC::CWindowDC(HWND window) : m_hWnd(window) { Attach(::GetWindowDC(window)); }
CWindowDC::~CWindowDC() {
  if (m_hDC) ::ReleaseDC(m_hWnd, Detach());
}

CPaintDC::CPaintDC(HWND window) : m_hWnd(window) { Attach(::BeginPaint(window, &m_ps)); }
CPaintDC::~CPaintDC() {
  if (m_hDC) {
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
  }
}

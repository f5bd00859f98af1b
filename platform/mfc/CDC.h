#pragma once
// MFC's device-context classes: CDC over an HDC, and CClientDC, CWindowDC
// and CPaintDC for windows. The window classes take an HWND or any window
// object with GetSafeHwnd().
#include <utility>

#include "platform/mfc/CString.h"
#include "platform/mfc/GdiObjectClasses.h"
#include "platform/mfc/Geometry.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/GdiRegion.h"
#include "platform/win/GdiText.h"
#include "platform/win/Icons.h"

class CDC {
 public:
  CDC() = default;
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  HDC m_hDC = nullptr;
  HDC m_hAttribDC = nullptr;

  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }  // NOLINT
  BOOL Attach(HDC dc);
  HDC Detach();
  // A temporary CDC for a DC the caller does not own (per thread).
  static CDC* FromHandle(HDC dc);
  static void DeleteTempMap();

  BOOL CreateCompatibleDC(CDC* dc) { return Attach(::CreateCompatibleDC(dc ? dc->m_hDC : nullptr)); }
  BOOL DeleteDC();
  int SaveDC() { return ::SaveDC(m_hDC); }
  BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }
  int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
  HWND GetWindowHandle() const { return ::WindowFromDC(m_hDC); }

  // Objects. The returned old object is a temporary wrapper.
  CPen* SelectObject(CPen* pen);
  CBrush* SelectObject(CBrush* brush);
  CFont* SelectObject(CFont* font);
  CBitmap* SelectObject(CBitmap* bitmap);
  int SelectObject(CRgn* region) { return ::SelectClipRgn(m_hDC, region ? static_cast<HRGN>(*region) : nullptr); }
  HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
  CGdiObject* SelectStockObject(int index);
  CPen* GetCurrentPen() const;
  CBrush* GetCurrentBrush() const;
  CFont* GetCurrentFont() const;
  CBitmap* GetCurrentBitmap() const;

  // Attributes.
  COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
  COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
  COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
  COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
  int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
  int GetBkMode() const { return ::GetBkMode(m_hDC); }
  UINT SetTextAlign(UINT align) { return ::SetTextAlign(m_hDC, align); }
  UINT GetTextAlign() const { return ::GetTextAlign(m_hDC); }
  int SetStretchBltMode(int mode) { return ::SetStretchBltMode(m_hDC, mode); }
  int GetStretchBltMode() const { return ::GetStretchBltMode(m_hDC); }
  int SetROP2(int rop2) { return ::SetROP2(m_hDC, rop2); }
  int GetROP2() const { return ::GetROP2(m_hDC); }
  int SetPolyFillMode(int mode) { return ::SetPolyFillMode(m_hDC, mode); }
  int SetMapMode(int mode) { return ::SetMapMode(m_hDC, mode); }
  CPoint SetViewportOrg(int x, int y);
  CPoint SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
  CPoint OffsetViewportOrg(int dx, int dy);
  CPoint GetViewportOrg() const;
  CPoint SetWindowOrg(int x, int y);
  CPoint SetWindowOrg(POINT p) { return SetWindowOrg(p.x, p.y); }
  CPoint GetWindowOrg() const;
  CPoint SetBrushOrg(int x, int y);
  CPoint SetBrushOrg(POINT p) { return SetBrushOrg(p.x, p.y); }
  void LPtoDP(LPPOINT points, int count = 1) const { ::LPtoDP(m_hDC, points, count); }
  void LPtoDP(LPRECT rect) const { ::LPtoDP(m_hDC, reinterpret_cast<LPPOINT>(rect), 2); }
  void DPtoLP(LPPOINT points, int count = 1) const { ::DPtoLP(m_hDC, points, count); }
  void DPtoLP(LPRECT rect) const { ::DPtoLP(m_hDC, reinterpret_cast<LPPOINT>(rect), 2); }

  // Clipping.
  int SelectClipRgn(CRgn* region) { return ::SelectClipRgn(m_hDC, region ? static_cast<HRGN>(*region) : nullptr); }
  int SelectClipRgn(CRgn* region, int mode) {
    return ::ExtSelectClipRgn(m_hDC, region ? static_cast<HRGN>(*region) : nullptr, mode);
  }
  int IntersectClipRect(int l, int t, int r, int b) { return ::IntersectClipRect(m_hDC, l, t, r, b); }
  int IntersectClipRect(LPCRECT r) { return IntersectClipRect(r->left, r->top, r->right, r->bottom); }
  int ExcludeClipRect(int l, int t, int r, int b) { return ::ExcludeClipRect(m_hDC, l, t, r, b); }
  int ExcludeClipRect(LPCRECT r) { return ExcludeClipRect(r->left, r->top, r->right, r->bottom); }
  int OffsetClipRgn(int dx, int dy) { return ::OffsetClipRgn(m_hDC, dx, dy); }
  int GetClipBox(LPRECT rect) const { return ::GetClipBox(m_hDC, rect); }
  BOOL PtVisible(int x, int y) const { return ::PtVisible(m_hDC, x, y); }
  BOOL PtVisible(POINT p) const { return ::PtVisible(m_hDC, p.x, p.y); }
  BOOL RectVisible(LPCRECT rect) const { return ::RectVisible(m_hDC, rect); }

  // Lines and shapes.
  CPoint MoveTo(int x, int y);
  CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
  BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
  BOOL LineTo(POINT p) { return ::LineTo(m_hDC, p.x, p.y); }
  CPoint GetCurrentPosition() const;
  BOOL Polyline(const POINT* points, int count) { return ::Polyline(m_hDC, points, count); }
  BOOL Polygon(const POINT* points, int count) { return ::Polygon(m_hDC, points, count); }
  BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
  BOOL DrawIcon(POINT p, HICON icon) { return ::DrawIcon(m_hDC, p.x, p.y, icon); }
  BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
  BOOL Rectangle(LPCRECT r) { return ::Rectangle(m_hDC, r->left, r->top, r->right, r->bottom); }
  BOOL Ellipse(int l, int t, int r, int b) { return ::Ellipse(m_hDC, l, t, r, b); }
  BOOL Ellipse(LPCRECT r) { return ::Ellipse(m_hDC, r->left, r->top, r->right, r->bottom); }
  BOOL RoundRect(int l, int t, int r, int b, int w, int h) { return ::RoundRect(m_hDC, l, t, r, b, w, h); }
  BOOL RoundRect(LPCRECT r, POINT corner) {
    return ::RoundRect(m_hDC, r->left, r->top, r->right, r->bottom, corner.x, corner.y);
  }
  BOOL Arc(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    return ::Arc(m_hDC, l, t, r, b, x1, y1, x2, y2);
  }
  BOOL Arc(LPCRECT r, POINT start, POINT end) {
    return ::Arc(m_hDC, r->left, r->top, r->right, r->bottom, start.x, start.y, end.x, end.y);
  }
  BOOL Pie(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    return ::Pie(m_hDC, l, t, r, b, x1, y1, x2, y2);
  }
  BOOL Chord(int l, int t, int r, int b, int x1, int y1, int x2, int y2) {
    return ::Chord(m_hDC, l, t, r, b, x1, y1, x2, y2);
  }
  COLORREF SetPixel(int x, int y, COLORREF c) { return ::SetPixel(m_hDC, x, y, c); }
  COLORREF SetPixel(POINT p, COLORREF c) { return ::SetPixel(m_hDC, p.x, p.y, c); }
  BOOL SetPixelV(int x, int y, COLORREF c) { return ::SetPixelV(m_hDC, x, y, c); }
  COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
  COLORREF GetPixel(POINT p) const { return ::GetPixel(m_hDC, p.x, p.y); }

  // Fills and frames.
  void FillRect(LPCRECT rect, CBrush* brush) { ::FillRect(m_hDC, rect, brush ? static_cast<HBRUSH>(*brush) : nullptr); }
  // Fills with a colour; leaves it as the DC's background colour, as MFC does.
  void FillSolidRect(LPCRECT rect, COLORREF color);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
  void FrameRect(LPCRECT rect, CBrush* brush) {
    ::FrameRect(m_hDC, rect, brush ? static_cast<HBRUSH>(*brush) : nullptr);
  }
  void InvertRect(LPCRECT rect) { ::InvertRect(m_hDC, rect); }
  // Top and left sides in one colour, bottom and right in the other.
  void Draw3dRect(LPCRECT rect, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
  void DrawFocusRect(LPCRECT rect) { ::DrawFocusRect(m_hDC, rect); }
  BOOL DrawEdge(LPRECT rect, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, rect, edge, flags); }
  BOOL DrawFrameControl(LPRECT rect, UINT type, UINT state) { return ::DrawFrameControl(m_hDC, rect, type, state); }
  BOOL FillRgn(CRgn* region, CBrush* brush) { return ::FillRgn(m_hDC, *region, *brush); }
  BOOL FrameRgn(CRgn* region, CBrush* brush, int w, int h) { return ::FrameRgn(m_hDC, *region, *brush, w, h); }
  BOOL PaintRgn(CRgn* region) { return ::PaintRgn(m_hDC, *region); }
  BOOL InvertRgn(CRgn* region) { return ::InvertRgn(m_hDC, *region); }
  BOOL PatBlt(int x, int y, int w, int h, DWORD rop) { return ::PatBlt(m_hDC, x, y, w, h, rop); }

  // Blits.
  BOOL BitBlt(int x, int y, int w, int h, CDC* src, int xs, int ys, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, xs, ys, rop);
  }
  BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int xs, int ys, int ws, int hs, DWORD rop) {
    return ::StretchBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, xs, ys, ws, hs, rop);
  }
  BOOL TransparentBlt(int x, int y, int w, int h, CDC* src, int xs, int ys, int ws, int hs, UINT key) {
    return ::TransparentBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, xs, ys, ws, hs, key);
  }
  BOOL AlphaBlend(int x, int y, int w, int h, CDC* src, int xs, int ys, int ws, int hs, BLENDFUNCTION blend) {
    return ::AlphaBlend(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, xs, ys, ws, hs, blend);
  }

  // Text.
  BOOL TextOut(int x, int y, LPCWSTR text, int count) { return ::TextOutW(m_hDC, x, y, text, count); }
  BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text.GetString(), text.GetLength()); }
  BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count, const INT* dx) {
    return ::ExtTextOutW(m_hDC, x, y, options, rect, text, count, dx);
  }
  int DrawText(LPCWSTR text, int count, LPRECT rect, UINT format) {
    return ::DrawTextW(m_hDC, text, count, rect, format);
  }
  int DrawText(const CString& text, LPRECT rect, UINT format) {
    return DrawText(text.GetString(), text.GetLength(), rect, format);
  }
  CSize GetTextExtent(LPCWSTR text, int count) const;
  CSize GetTextExtent(const CString& text) const { return GetTextExtent(text.GetString(), text.GetLength()); }
  CSize GetOutputTextExtent(const CString& text) const { return GetTextExtent(text); }
  BOOL GetTextMetrics(LPTEXTMETRICW metrics) const { return ::GetTextMetricsW(m_hDC, metrics); }
  int GetTextFace(int count, LPWSTR face) const { return ::GetTextFaceW(m_hDC, count, face); }
};

// The client area of a window, released on destruction.
class CClientDC : public CDC {
 public:
  explicit CClientDC(HWND window);
  template <typename Window, typename = decltype(std::declval<Window>().GetSafeHwnd())>
  explicit CClientDC(Window* window) : CClientDC(window ? window->GetSafeHwnd() : HWND{}) {}
  ~CClientDC() override;
  HWND m_hWnd;
};

// The whole window, released on destruction.
class CWindowDC : public CDC {
 public:
  explicit CWindowDC(HWND window);
  template <typename Window, typename = decltype(std::declval<Window>().GetSafeHwnd())>
  explicit CWindowDC(Window* window) : CWindowDC(window ? window->GetSafeHwnd() : HWND{}) {}
  ~CWindowDC() override;
  HWND m_hWnd;
};

// BeginPaint on construction, EndPaint on destruction.
class CPaintDC : public CDC {
 public:
  explicit CPaintDC(HWND window);
  template <typename Window, typename = decltype(std::declval<Window>().GetSafeHwnd())>
  explicit CPaintDC(Window* window) : CPaintDC(window ? window->GetSafeHwnd() : HWND{}) {}
  ~CPaintDC() override;
  HWND m_hWnd;
  PAINTSTRUCT m_ps{};
};

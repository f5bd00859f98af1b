#include "ui/XPGroupBox.h"

#include <cstring>

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/GdiRegion.h"
#include "platform/win/GdiText.h"
#include "platform/win/SysColors.h"

CXPGroupBox::CXPGroupBox()
    : m_borderColour(RGB(0x80, 0x80, 0x80)),
      m_titleBackground(GetSysColor(COLOR_BTNFACE)),
      m_clientBackground(GetSysColor(COLOR_BTNFACE)),
      m_titleTextColour(GetSysColor(COLOR_BTNTEXT)) {}

CXPGroupBox::~CXPGroupBox() {
  if (m_font) DeleteObject(m_font);
}

BOOL CXPGroupBox::PreCreateWindow(CREATESTRUCTW& create) {
  create.style |= BS_ICON;
  return CButton::PreCreateWindow(create);
}

void CXPGroupBox::PreSubclassWindow() {
  CButton::PreSubclassWindow();
  ModifyStyle(0, BS_ICON);
  HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
  GetObjectW(font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT), sizeof m_logFont, &m_logFont);
  RecreateFont();
}

void CXPGroupBox::RecreateFont() {
  if (m_font) DeleteObject(m_font);
  m_font = CreateFontIndirectW(&m_logFont);
}

void CXPGroupBox::UpdateSurface() {
  if (!m_hWnd) return;
  Invalidate(TRUE);
  UpdateWindow();
  HWND parent = ::GetParent(m_hWnd);
  if (!parent) return;
  RECT rect{};
  ::GetWindowRect(m_hWnd, &rect);
  POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  ::ScreenToClient(parent, &corners[0]);
  ::ScreenToClient(parent, &corners[1]);
  RECT inParent{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  ::InvalidateRect(parent, &inParent, TRUE);
  ::UpdateWindow(parent);
}

CXPGroupBox& CXPGroupBox::SetBorderColor(COLORREF colour) {
  m_borderColour = colour;
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetTitleTextColor(COLORREF colour) {
  m_titleTextColour = colour;
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetBackgroundColors(COLORREF title, COLORREF client) {
  m_titleBackground = title;
  m_clientBackground = client;
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetBackgroundColor(COLORREF colour) { return SetBackgroundColors(colour, colour); }

CXPGroupBox& CXPGroupBox::SetStyle(int style) {
  m_style = style;
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetTitle(const CString& text) {
  if (m_hWnd) m_title = CString(L" ") + text + CString(L" ");
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFontBold(bool bold) {
  m_logFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  RecreateFont();
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFontName(const CString& face, BYTE charset) {
  std::memset(m_logFont.lfFaceName, 0, sizeof m_logFont.lfFaceName);
  wcsncpy(m_logFont.lfFaceName, face, LF_FACESIZE - 1);
  m_logFont.lfCharSet = charset;
  RecreateFont();
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFontUnderline(bool on) {
  m_logFont.lfUnderline = on ? 1 : 0;
  RecreateFont();
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFontItalic(bool on) {
  m_logFont.lfItalic = on ? 1 : 0;
  RecreateFont();
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetFontSize(int points) {
  HDC screen = ::GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  LOGFONTW sized = m_logFont;
  sized.lfHeight = -MulDiv(points * 10, dpi, 720);
  sized.lfWidth = 0;
  HFONT font = CreateFontIndirectW(&sized);
  LOGFONTW measured{};
  GetObjectW(font, sizeof measured, &measured);
  DeleteObject(font);
  m_logFont.lfHeight = measured.lfHeight;
  m_logFont.lfWidth = measured.lfWidth;
  RecreateFont();
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetLogFont(const LOGFONTW& font) {
  m_logFont = font;
  RecreateFont();
  UpdateSurface();
  return *this;
}

CXPGroupBox& CXPGroupBox::SetTitleAlignment(int alignment) {
  m_alignment = (alignment == kCentre || alignment == kRight) ? alignment : kLeft;
  UpdateSurface();
  return *this;
}

void CXPGroupBox::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(m_hWnd, &paint);
  HGDIOBJ oldFont = SelectObject(dc, m_font);
  RECT rc{};
  GetClientRect(&rc);
  rc.left += 1, rc.top += 1, rc.right -= 1, rc.bottom -= 1;
  if (m_title.IsEmpty()) {
    CString text;
    GetWindowText(text);
    if (!text.IsEmpty()) m_title = CString(L" ") + text + CString(L" ");
  }
  SIZE extent{0, 0};
  if (!m_title.IsEmpty()) GetTextExtentPoint32W(dc, m_title, m_title.GetLength(), &extent);
  const int cx = extent.cx, cy = extent.cy;
  HPEN pen = CreatePen(PS_SOLID, 1, m_borderColour);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  RECT text{};
  if (m_style == kFramed) {
    int left = rc.left + 10;
    if (m_alignment == kCentre) left = rc.left + (rc.right - rc.left - cx) / 2;
    if (m_alignment == kRight) left = rc.right - 10 - cx;
    text = RECT{left, rc.top, left + cx, rc.top + cy};
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, rc.left, rc.top + cy / 2, rc.right, rc.bottom, 10, 10);
    SelectObject(dc, oldBrush);
    IntersectClipRect(dc, text.left, text.top, text.right, text.bottom);
    HBRUSH title = CreateSolidBrush(m_titleBackground);
    FillRect(dc, &text, title);
    DeleteObject(title);
    SelectClipRgn(dc, nullptr);
  } else {
    RECT bar{rc.left, rc.top, rc.right, rc.top + cy + 4};
    HBRUSH title = CreateSolidBrush(m_titleBackground);
    HBRUSH body = CreateSolidBrush(m_clientBackground);
    HGDIOBJ oldBrush = SelectObject(dc, title);
    RoundRect(dc, rc.left, rc.top, rc.right, rc.bottom, 10, 10);
    SelectObject(dc, body);
    Rectangle(dc, rc.left, bar.bottom, rc.right, rc.bottom);
    SelectObject(dc, oldBrush);
    DeleteObject(title);
    DeleteObject(body);
    int left = bar.left + 2;
    if (m_alignment == kCentre) left = bar.left + (bar.right - bar.left - cx) / 2;
    if (m_alignment == kRight) left = bar.right - 2 - cx;
    text = RECT{left, bar.top + 2, left + cx, bar.top + 2 + cy};
  }
  m_titleRect = text;
  COLORREF oldColour = SetTextColor(dc, m_titleTextColour);
  int oldMode = SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, m_title, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  SelectObject(dc, oldFont);
  EndPaint(m_hWnd, &paint);
}

LRESULT CXPGroupBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    OnPaint();
    return 0;
  }
  return CButton::WindowProc(message, wParam, lParam);
}

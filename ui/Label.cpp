#include "ui/Label.h"

#include <algorithm>
#include <cstring>

#include "platform/display/Cursors.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/GdiText.h"
#include "platform/win/Shell.h"
#include "platform/win/SysColors.h"

#ifndef SWP_FRAMECHANGED
#define SWP_FRAMECHANGED 0x0020
#endif

CLabel::CLabel()
    : m_textColour(GetSysColor(COLOR_WINDOWTEXT)), m_defaultBrush(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {}

CLabel::~CLabel() {
  if (m_font) DeleteObject(m_font);
  if (m_defaultBrush) DeleteObject(m_defaultBrush);
  if (m_backgroundBrush) DeleteObject(m_backgroundBrush);
}

void CLabel::PreSubclassWindow() {
  CStatic::PreSubclassWindow();
  HFONT font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
  GetObjectW(font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT), sizeof m_logFont, &m_logFont);
  ReconstructFont();
}

void CLabel::ReconstructFont() {
  if (m_font) DeleteObject(m_font);
  m_font = CreateFontIndirectW(&m_logFont);
}

void CLabel::Refresh() {
  if (!m_hWnd) return;
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
  ::UpdateWindow(m_hWnd);
  HWND parent = ::GetParent(m_hWnd);
  if (!parent) return;
  RECT rect{};
  ::GetWindowRect(m_hWnd, &rect);
  POINT topLeft{rect.left, rect.top}, bottomRight{rect.right, rect.bottom};
  ::ScreenToClient(parent, &topLeft);
  ::ScreenToClient(parent, &bottomRight);
  RECT inParent{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  ::InvalidateRect(parent, &inParent, TRUE);
  ::UpdateWindow(parent);
}

CLabel& CLabel::SetBkColor(COLORREF colour, COLORREF second, bool gradient) {
  m_background = colour;
  m_background2 = second;
  m_gradient = gradient;
  if (m_backgroundBrush) DeleteObject(m_backgroundBrush);
  m_backgroundBrush = gradient ? nullptr : CreateSolidBrush(colour);
  Refresh();
  return *this;
}

CLabel& CLabel::SetTextColor(COLORREF colour) {
  m_textColour = colour;
  Refresh();
  return *this;
}

CLabel& CLabel::SetText(const CString& text) {
  if (m_hWnd) {
    SetWindowText(text);
    Refresh();
  }
  return *this;
}

CLabel& CLabel::SetFontBold(bool bold) {
  m_logFont.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  ReconstructFont();
  Refresh();
  return *this;
}

CLabel& CLabel::SetFontName(const CString& face, BYTE charset) {
  m_logFont.lfCharSet = charset;
  std::memset(m_logFont.lfFaceName, 0, sizeof m_logFont.lfFaceName);
  wcsncpy(m_logFont.lfFaceName, face, LF_FACESIZE - 1);
  ReconstructFont();
  Refresh();
  return *this;
}

CLabel& CLabel::SetFontUnderline(bool on) {
  m_logFont.lfUnderline = on ? 1 : 0;
  ReconstructFont();
  Refresh();
  return *this;
}

CLabel& CLabel::SetFontItalic(bool on) {
  m_logFont.lfItalic = on ? 1 : 0;
  ReconstructFont();
  Refresh();
  return *this;
}

CLabel& CLabel::SetFontSize(int points) {
  // A point font of points x 10 tenths on the screen: height -(points * 96 / 72).
  HDC screen = ::GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  LOGFONTW temporary = m_logFont;
  temporary.lfHeight = -MulDiv(points * 10, dpi, 720);
  temporary.lfWidth = 0;
  HFONT font = CreateFontIndirectW(&temporary);
  LOGFONTW measured{};
  GetObjectW(font, sizeof measured, &measured);
  DeleteObject(font);
  m_logFont.lfHeight = measured.lfHeight;
  m_logFont.lfWidth = measured.lfWidth;
  ReconstructFont();
  Refresh();
  return *this;
}

CLabel& CLabel::SetSunken(bool on) {
  LONG ex = ::GetWindowLongW(m_hWnd, GWL_EXSTYLE);
  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, on ? (ex | WS_EX_STATICEDGE) : (ex & ~WS_EX_STATICEDGE));
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  return *this;
}

CLabel& CLabel::SetBorder(bool on) {
  ModifyStyle(on ? 0 : WS_BORDER, on ? WS_BORDER : 0);
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  return *this;
}

CLabel& CLabel::SetTransparent(bool on) {
  m_transparent = on;
  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, ::GetWindowLongW(m_hWnd, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
  Refresh();
  return *this;
}

void CLabel::StopFlashTimer() {
  if (!m_flashTimerRunning) return;
  KillTimer(TIMER_LABEL_FLASH);
  m_flashTimerRunning = false;
}

CLabel& CLabel::FlashText(bool on) {
  StopFlashTimer();
  if (on) {
    m_flashOn = false;
    m_flashTimerRunning = true;
    SetTimer(TIMER_LABEL_FLASH, kFlashMs, nullptr);
    m_flashKind = kFlashText;
  } else {
    // The text shows again even when it was in its hidden phase.
    m_flashKind = kFlashNone;
    Refresh();
  }
  return *this;
}

CLabel& CLabel::FlashBackground(bool on) {
  StopFlashTimer();
  if (on) {
    m_flashOn = false;
    m_flashTimerRunning = true;
    SetTimer(TIMER_LABEL_FLASH, kFlashMs, nullptr);
    m_flashKind = kFlashBackground;
  }
  return *this;
}

CLabel& CLabel::SetLinkMode(int mode, int notifyParent) {
  m_linkMode = mode;
  m_notifyParent = notifyParent;
  if (m_hWnd) ModifyStyle(mode ? 0 : SS_NOTIFY, mode ? SS_NOTIFY : 0);
  return *this;
}

CLabel& CLabel::SetLink(bool on, int notifyParent) { return SetLinkMode(on ? kLinkWeb : kLinkNone, notifyParent); }

CLabel& CLabel::SetMailLink(bool on, int notifyParent) {
  return SetLinkMode(on ? kLinkMail : kLinkNone, notifyParent);
}

CLabel& CLabel::SetLinkCursor(HCURSOR cursor) {
  m_linkCursor = cursor;
  return *this;
}

CLabel& CLabel::SetText3D(bool on, bool downRight) {
  m_text3D = on;
  m_3dDownRight = downRight;
  Refresh();
  return *this;
}

CLabel& CLabel::SetRotationAngle(int degrees, bool rotate) {
  m_logFont.lfEscapement = m_logFont.lfOrientation = degrees * 10;
  m_rotated = rotate;
  ReconstructFont();
  Refresh();
  return *this;
}

CLabel& CLabel::SetText3DColor(COLORREF colour) {
  m_3dColour = colour;
  Refresh();
  return *this;
}

CLabel& CLabel::SetLogFont(const LOGFONTW& font) {
  m_logFont = font;
  ReconstructFont();
  Refresh();
  return *this;
}

CLabel& CLabel::SetLinkUrl(const CString& target) {
  m_linkTarget = target;
  return *this;
}

void CLabel::FillGradient(HDC dc, const RECT& rect, COLORREF colour1, COLORREF colour2, int steps) {
  const int width = rect.right - rect.left;
  int n = std::min(steps, width);
  if (n < 2) n = 1;
  const int c1[3] = {GetRValue(colour1), GetGValue(colour1), GetBValue(colour1)};
  const int c2[3] = {GetRValue(colour2), GetGValue(colour2), GetBValue(colour2)};
  int value[3], delta[3];
  for (int c = 0; c < 3; ++c) {
    value[c] = c1[c] * 256;
    delta[c] = (c2[c] - c1[c]) * 256 / n;
  }
  const int band = width / n;
  int x = rect.left;
  for (int i = 0; i < n; ++i) {
    int right = i == n - 1 ? rect.right : x + band;
    RECT piece{x, rect.top, right + 1, rect.bottom};
    HBRUSH brush = CreateSolidBrush(RGB(value[0] / 256, value[1] / 256, value[2] / 256));
    FillRect(dc, &piece, brush);
    DeleteObject(brush);
    for (int c = 0; c < 3; ++c) value[c] += delta[c];
    x = right;
  }
}

UINT CLabel::FormatFlags(const CString& text) const {
  const DWORD style = GetStyle();
  const std::wstring content(static_cast<const wchar_t*>(text));
  UINT flags;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER: flags = DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: flags = DT_RIGHT | DT_WORDBREAK; break;
    case SS_LEFTNOWORDWRAP: flags = 0; break;
    default: flags = DT_WORDBREAK; break;
  }
  if (content.find(L'\t') != std::wstring::npos) flags |= DT_EXPANDTABS;
  if (style & SS_CENTERIMAGE) {
    flags = DT_CENTER;
    if (content.find(L"\r\n") == std::wstring::npos) flags |= DT_VCENTER | DT_SINGLELINE;
  }
  return flags;
}

void CLabel::PaintContent(HDC dc, const RECT& client, const CString& text) {
  int oldMode = ::SetBkMode(dc, TRANSPARENT);
  COLORREF colour = m_textColour;
  HGDIOBJ oldFont = SelectObject(dc, m_font);
  if (!m_transparent) {
    if (m_gradient)
      FillGradient(dc, client, m_background, m_background2, 100);
    else
      FillRect(dc, &client, m_backgroundBrush ? m_backgroundBrush : m_defaultBrush);
  }
  if (m_flashKind == kFlashText && !m_flashOn)
    colour = m_backgroundBrush ? m_background : GetSysColor(COLOR_BTNFACE);
  COLORREF oldColour = ::SetTextColor(dc, colour);
  const UINT flags = FormatFlags(text);
  if (m_rotated) {
    UINT oldAlign = SetTextAlign(dc, TA_BASELINE);
    POINT origin{};
    GetViewportOrgEx(dc, &origin);
    SetViewportOrgEx(dc, (client.right - client.left) / 2, (client.bottom - client.top) / 2, nullptr);
    TextOutW(dc, 0, 0, text, text.GetLength());
    SetViewportOrgEx(dc, origin.x / 2, origin.y / 2, nullptr);
    SetTextAlign(dc, oldAlign);
  } else {
    RECT area = client;
    DrawTextW(dc, text, -1, &area, flags);
    if (m_text3D) {
      ::SetTextColor(dc, m_3dColour);
      int shift = m_3dDownRight ? 1 : -1;
      RECT moved{client.left + shift, client.top + shift, client.right + shift, client.bottom + shift};
      DrawTextW(dc, text, -1, &moved, flags);
    }
  }
  ::SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColour);
}

void CLabel::Paint() {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(m_hWnd, &paint);
  RECT client{};
  GetClientRect(&client);
  CString text;
  GetWindowText(text);
  if (m_transparent) {
    PaintContent(dc, client, text);
  } else {
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    PaintContent(memory, client, text);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
  }
  EndPaint(m_hWnd, &paint);
}

void CLabel::OnLinkClick() {
  if (m_notifyParent != 0) {
    NMHDR header{m_hWnd, static_cast<UINT_PTR>(GetDlgCtrlID()), NM_LINKCLICK};
    if (HWND parent = ::GetParent(m_hWnd))
      ::SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(GetDlgCtrlID()), reinterpret_cast<LPARAM>(&header));
    return;
  }
  CString text;
  GetWindowText(text);
  if (m_linkMode == kLinkWeb) {
    const CString& target = m_linkTarget.IsEmpty() ? text : m_linkTarget;
    ShellExecuteW(nullptr, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
  } else if (m_linkMode == kLinkMail) {
    CString address = CString(L"mailto:") + text;
    ShellExecuteW(nullptr, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL);
  }
}

LRESULT CLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: Paint(); return 0;
    case WM_ERASEBKGND: return TRUE;
    case WM_TIMER:
      if (wParam == TIMER_LABEL_FLASH) {
        m_flashOn = !m_flashOn;
        Refresh();
      }
      break;
    case WM_LBUTTONDOWN: OnLinkClick(); break;
    case WM_SETCURSOR:
      if (m_linkCursor) {
        ::SetCursor(m_linkCursor);
        return TRUE;
      }
      break;
    case WM_SYSCOLORCHANGE:
      if (m_defaultBrush) DeleteObject(m_defaultBrush);
      m_defaultBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
      Refresh();
      break;
    case WM_DESTROY: StopFlashTimer(); break;
    default: break;
  }
  return CStatic::WindowProc(message, wParam, lParam);
}

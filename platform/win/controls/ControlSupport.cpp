#include "platform/win/controls/ControlSupport.h"

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/SysColors.h"

namespace vqplatform {

std::wstring WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

int ControlId(HWND hwnd) { return GetDlgCtrlID(hwnd); }

DWORD ControlStyle(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

RECT ClientRect(HWND hwnd) {
  RECT rect{};
  GetClientRect(hwnd, &rect);
  return rect;
}

void NotifyCommand(HWND control, WORD code) {
  HWND parent = GetParent(control);
  if (!parent) return;
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(ControlId(control), code), reinterpret_cast<LPARAM>(control));
}

LRESULT NotifyHeader(HWND control, UINT code) {
  HWND parent = GetParent(control);
  if (!parent) return 0;
  NMHDR header{control, static_cast<UINT_PTR>(ControlId(control)), code};
  return SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(ControlId(control)), reinterpret_cast<LPARAM>(&header));
}

HBRUSH ParentBackground(HWND hwnd, HDC dc, UINT colorMessage) {
  HBRUSH background = nullptr;
  if (HWND parent = GetParent(hwnd))
    background = reinterpret_cast<HBRUSH>(
        SendMessageW(parent, colorMessage, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
  return background ? background : GetSysColorBrush(colorMessage == WM_CTLCOLOREDIT ? COLOR_WINDOW : COLOR_BTNFACE);
}

COLORREF TextColor(HWND hwnd) { return GetSysColor(IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT); }

void PaintControl(HWND hwnd, const ControlBase& state, UINT colorMessage,
                  const std::function<void(HDC dc, const RECT& client)>& draw, bool fill) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd, &paint);
  if (!dc) return;
  RECT client = ClientRect(hwnd);
  if (fill) FillRect(dc, &client, ParentBackground(hwnd, dc, colorMessage));
  HGDIOBJ oldFont = SelectObject(dc, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, TextColor(hwnd));
  draw(dc, client);
  SelectObject(dc, oldFont);
  EndPaint(hwnd, &paint);
}

bool HandleCommonMessage(HWND hwnd, ControlBase& state, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT* result) {
  switch (message) {
    case WM_SETFONT:
      state.font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      *result = 0;
      return true;
    case WM_GETFONT:
      *result = reinterpret_cast<LRESULT>(state.font);
      return true;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      *result = 0;
      return true;
    case WM_SETTEXT:
      *result = DefWindowProcW(hwnd, message, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return true;
    case WM_ERASEBKGND:
      *result = 1;
      return true;
    default:
      return false;
  }
}

void RegisterControlClass(const wchar_t* name, WNDPROC proc) {
  WNDCLASSW windowClass{};
  windowClass.style = CS_GLOBALCLASS | CS_DBLCLKS;
  windowClass.lpfnWndProc = proc;
  windowClass.lpszClassName = name;
  RegisterClassW(&windowClass);
}

}  // namespace vqplatform

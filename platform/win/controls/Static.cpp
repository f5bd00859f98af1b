// Static text, frames and rectangles.
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/GdiText.h"
#include "platform/win/Icons.h"
#include "platform/win/SysColors.h"
#include "platform/win/controls/ControlSupport.h"

namespace vqplatform {
namespace {

struct StaticState : ControlBase {
  HANDLE images[3] = {nullptr, nullptr, nullptr};  // by IMAGE_ kind
};

// Replaces the image of a kind; returns the previous one.
LRESULT SetImage(HWND hwnd, StaticState& state, WPARAM kind, LPARAM image) {
  if (kind > IMAGE_CURSOR) return 0;
  HANDLE previous = state.images[kind];
  state.images[kind] = reinterpret_cast<HANDLE>(image);
  InvalidateRect(hwnd, nullptr, TRUE);
  return reinterpret_cast<LRESULT>(previous);
}

void DrawText(HWND hwnd, HDC dc, RECT area, DWORD style) {
  DWORD kind = style & SS_TYPEMASK;
  UINT format = DT_NOCLIP | DT_EXPANDTABS;
  if (kind == SS_CENTER) format |= DT_CENTER | DT_WORDBREAK;
  else if (kind == SS_RIGHT) format |= DT_RIGHT | DT_WORDBREAK;
  else if (kind == SS_LEFT) format |= DT_LEFT | DT_WORDBREAK;
  else format |= DT_LEFT | DT_SINGLELINE;
  if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
  if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
  std::wstring text = WindowText(hwnd);
  if (format & DT_WORDBREAK) {
    // A text that fits on one line is drawn as one line.
    RECT measure{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &measure, (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_CALCRECT);
    if (text.find(L'\n') == std::wstring::npos && measure.right <= area.right - area.left)
      format = (format & ~DT_WORDBREAK) | DT_SINGLELINE;
  }
  DrawTextW(dc, text.c_str(), -1, &area, format);
}

void DrawFrame(HDC dc, RECT area, DWORD kind) {
  switch (kind) {
    case SS_BLACKRECT: FillRect(dc, &area, GetSysColorBrush(COLOR_3DDKSHADOW)); break;
    case SS_GRAYRECT: FillRect(dc, &area, GetSysColorBrush(COLOR_BTNSHADOW)); break;
    case SS_WHITERECT: FillRect(dc, &area, GetSysColorBrush(COLOR_BTNHIGHLIGHT)); break;
    case SS_BLACKFRAME: FrameRect(dc, &area, GetSysColorBrush(COLOR_3DDKSHADOW)); break;
    case SS_GRAYFRAME: FrameRect(dc, &area, GetSysColorBrush(COLOR_BTNSHADOW)); break;
    case SS_WHITEFRAME: FrameRect(dc, &area, GetSysColorBrush(COLOR_BTNHIGHLIGHT)); break;
    case SS_ETCHEDFRAME: DrawEdge(dc, &area, EDGE_ETCHED, BF_RECT); break;
    case SS_ETCHEDHORZ: DrawEdge(dc, &area, EDGE_ETCHED, BF_TOP); break;
    case SS_ETCHEDVERT: DrawEdge(dc, &area, EDGE_ETCHED, BF_LEFT); break;
    default: break;
  }
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  StaticState& state = ControlState<StaticState>(hwnd);
  LRESULT result = 0;
  if (HandleCommonMessage(hwnd, state, message, wParam, lParam, &result)) return result;
  switch (message) {
    case WM_PAINT:
      PaintControl(hwnd, state, WM_CTLCOLORSTATIC, [&](HDC dc, const RECT& client) {
        DWORD style = ControlStyle(hwnd);
        RECT area = client;
        if (style & SS_SUNKEN) DrawEdge(dc, &area, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        DWORD kind = style & SS_TYPEMASK;
        if (kind == SS_ICON) {
          HICON icon = static_cast<HICON>(state.images[IMAGE_ICON] ? state.images[IMAGE_ICON] : state.images[IMAGE_CURSOR]);
          if (style & SS_CENTERIMAGE)
            DrawIcon(dc, (area.left + area.right) / 2 - 16, (area.top + area.bottom) / 2 - 16, icon);
          else
            DrawIcon(dc, area.left, area.top, icon);
        } else if (kind <= SS_RIGHT || kind == SS_SIMPLE || kind == SS_LEFTNOWORDWRAP) {
          DrawText(hwnd, dc, area, style);
        } else {
          DrawFrame(dc, area, kind);
        }
      });
      return 0;
    case WM_GETDLGCODE: return DLGC_STATIC;
    case STM_SETICON: return SetImage(hwnd, state, IMAGE_ICON, static_cast<LPARAM>(wParam));
    case STM_GETICON: return reinterpret_cast<LRESULT>(state.images[IMAGE_ICON]);
    case STM_SETIMAGE: return SetImage(hwnd, state, wParam, lParam);
    case STM_GETIMAGE: return wParam <= IMAGE_CURSOR ? reinterpret_cast<LRESULT>(state.images[wParam]) : 0;
    case WM_LBUTTONDOWN:
      if (ControlStyle(hwnd) & SS_NOTIFY) NotifyCommand(hwnd, STN_CLICKED);
      return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

void RegisterStaticClass() { RegisterControlClass(WC_STATIC, StaticProc); }

}  // namespace vqplatform

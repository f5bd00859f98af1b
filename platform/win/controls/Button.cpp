// Push buttons, check boxes, radio buttons and group boxes.
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/GdiText.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/SysColors.h"
#include "platform/win/controls/ControlSupport.h"

namespace vqplatform {
namespace {

struct ButtonState : ControlBase {
  int check = BST_UNCHECKED;
  bool pushed = false;
  bool focused = false;
  bool tracking = false;
};

DWORD Kind(HWND hwnd) { return ControlStyle(hwnd) & BS_TYPEMASK; }
bool IsPush(DWORD kind) { return kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON; }
bool IsCheck(DWORD kind) {
  return kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_3STATE || kind == BS_AUTO3STATE;
}
bool IsRadio(DWORD kind) { return kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON; }

void SetCheck(HWND hwnd, ButtonState& state, int check) {
  if (state.check == check) return;
  state.check = check;
  InvalidateRect(hwnd, nullptr, TRUE);
}

// An automatic radio button checks itself and clears the others of its
// group (the siblings from the last WS_GROUP up to the next one).
void CheckInGroup(HWND hwnd) {
  HWND first = hwnd;
  while (!(GetWindowLongW(first, GWL_STYLE) & WS_GROUP)) {
    HWND previous = GetWindow(first, GW_HWNDPREV);
    if (!previous) break;
    first = previous;
  }
  for (HWND sibling = first; sibling; sibling = GetWindow(sibling, GW_HWNDNEXT)) {
    if (sibling != first && (GetWindowLongW(sibling, GWL_STYLE) & WS_GROUP)) break;
    if (sibling == hwnd) continue;
    DWORD kind = static_cast<DWORD>(GetWindowLongW(sibling, GWL_STYLE)) & BS_TYPEMASK;
    if (kind == BS_AUTORADIOBUTTON) SendMessageW(sibling, BM_SETCHECK, BST_UNCHECKED, 0);
  }
  SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
}

void Click(HWND hwnd, ButtonState& state) {
  switch (Kind(hwnd)) {
    case BS_AUTOCHECKBOX: SetCheck(hwnd, state, state.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED); break;
    case BS_AUTO3STATE: SetCheck(hwnd, state, (state.check + 1) % 3); break;
    case BS_AUTORADIOBUTTON: CheckInGroup(hwnd); break;
    default: break;
  }
  NotifyCommand(hwnd, BN_CLICKED);
}

void SetPushed(HWND hwnd, ButtonState& state, bool pushed) {
  if (state.pushed == pushed) return;
  state.pushed = pushed;
  InvalidateRect(hwnd, nullptr, TRUE);
}

void DrawGroupBox(HWND hwnd, HDC dc, const RECT& client) {
  std::wstring text = WindowText(hwnd);
  SIZE extent{0, 0};
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  if (!text.empty()) GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  RECT frame = client;
  frame.top += metrics.tmHeight / 2;
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  if (text.empty()) return;
  RECT label{client.left + 8, client.top, client.left + 8 + extent.cx + 4, client.top + metrics.tmHeight};
  FillRect(dc, &label, ParentBackground(hwnd, dc, WM_CTLCOLORBTN));
  label.left += 2;
  DrawTextW(dc, text.c_str(), -1, &label, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

void DrawMarkButton(HWND hwnd, const ButtonState& state, HDC dc, const RECT& client, bool radio) {
  const int box = 13;
  RECT mark{client.left, client.top + (client.bottom - client.top - box) / 2, client.left + box, 0};
  mark.bottom = mark.top + box;
  UINT flags = radio ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
  if (state.check == BST_CHECKED) flags |= DFCS_CHECKED;
  if (state.pushed) flags |= DFCS_PUSHED;
  if (!IsWindowEnabled(hwnd)) flags |= DFCS_INACTIVE;
  DrawFrameControl(dc, &mark, DFC_BUTTON, flags);
  RECT text{client.left + box + 4, client.top, client.right, client.bottom};
  std::wstring caption = WindowText(hwnd);
  DrawTextW(dc, caption.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (state.focused) {
    RECT focus = text;
    DrawTextW(dc, caption.c_str(), -1, &focus, DT_CALCRECT | DT_SINGLELINE);
    int height = focus.bottom - focus.top;
    focus.top = text.top + (text.bottom - text.top - height) / 2 - 1;
    focus.bottom = focus.top + height + 2;
    focus.left -= 1;
    focus.right += 1;
    DrawFocusRect(dc, &focus);
  }
}

void DrawPushButton(HWND hwnd, const ButtonState& state, HDC dc, const RECT& client) {
  RECT face = client;
  if (Kind(hwnd) == BS_DEFPUSHBUTTON) {
    FrameRect(dc, &face, GetSysColorBrush(COLOR_WINDOWFRAME));
    InflateRect(&face, -1, -1);
  }
  DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (state.pushed ? DFCS_PUSHED : 0));
  RECT text = face;
  if (state.pushed) OffsetRect(&text, 1, 1);
  std::wstring caption = WindowText(hwnd);
  DrawTextW(dc, caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (state.focused) {
    RECT focus = face;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(dc, &focus);
  }
}

void Paint(HWND hwnd, ButtonState& state) {
  DWORD kind = Kind(hwnd);
  if (kind == BS_OWNERDRAW) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd, &paint);
    DRAWITEMSTRUCT item{ODT_BUTTON, static_cast<UINT>(ControlId(hwnd)), 0, ODA_DRAWENTIRE, 0, hwnd, dc,
                        ClientRect(hwnd), 0};
    if (state.pushed) item.itemState |= ODS_SELECTED;
    if (state.focused) item.itemState |= ODS_FOCUS;
    if (!IsWindowEnabled(hwnd)) item.itemState |= ODS_DISABLED;
    if (HWND parent = GetParent(hwnd))
      SendMessageW(parent, WM_DRAWITEM, static_cast<WPARAM>(item.CtlID), reinterpret_cast<LPARAM>(&item));
    EndPaint(hwnd, &paint);
    return;
  }
  PaintControl(hwnd, state, WM_CTLCOLORBTN, [&](HDC dc, const RECT& client) {
    if (kind == BS_GROUPBOX)
      DrawGroupBox(hwnd, dc, client);
    else if (IsCheck(kind) || IsRadio(kind))
      DrawMarkButton(hwnd, state, dc, client, IsRadio(kind));
    else
      DrawPushButton(hwnd, state, dc, client);
  }, kind != BS_GROUPBOX);
}

bool Inside(HWND hwnd, LPARAM lParam) {
  RECT client = ClientRect(hwnd);
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  return PtInRect(&client, point) != FALSE;
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ButtonState& state = ControlState<ButtonState>(hwnd);
  LRESULT result = 0;
  if (HandleCommonMessage(hwnd, state, message, wParam, lParam, &result)) return result;
  DWORD kind = Kind(hwnd);
  switch (message) {
    case WM_PAINT: Paint(hwnd, state); return 0;
    case WM_GETDLGCODE:
      if (kind == BS_GROUPBOX) return DLGC_STATIC;
      if (IsRadio(kind)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
      if (kind == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (IsPush(kind) || kind == BS_OWNERDRAW) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      return DLGC_BUTTON;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (kind == BS_GROUPBOX) return 0;
      SetFocus(hwnd);
      SetCapture(hwnd);
      state.tracking = true;
      SetPushed(hwnd, state, true);
      return 0;
    case WM_MOUSEMOVE:
      if (state.tracking) SetPushed(hwnd, state, Inside(hwnd, lParam));
      return 0;
    case WM_LBUTTONUP:
      if (!state.tracking) return 0;
      state.tracking = false;
      ReleaseCapture();
      SetPushed(hwnd, state, false);
      if (Inside(hwnd, lParam)) Click(hwnd, state);
      return 0;
    case WM_CAPTURECHANGED:
      if (state.tracking && reinterpret_cast<HWND>(lParam) != hwnd) {
        state.tracking = false;
        SetPushed(hwnd, state, false);
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && kind != BS_GROUPBOX) SetPushed(hwnd, state, true);
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && state.pushed) {
        SetPushed(hwnd, state, false);
        Click(hwnd, state);
      }
      return 0;
    case WM_SETFOCUS:
      state.focused = true;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_KILLFOCUS:
      state.focused = false;
      if (state.pushed && !state.tracking) SetPushed(hwnd, state, false);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case BM_CLICK:
      if (IsWindowEnabled(hwnd)) Click(hwnd, state);
      return 0;
    case BM_GETCHECK: return state.check;
    case BM_SETCHECK: {
      // Tab reaches a group of radio buttons at its checked one.
      DWORD kind = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)) & BS_TYPEMASK;
      if (kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON) {
        LONG style = GetWindowLongW(hwnd, GWL_STYLE);
        SetWindowLongW(hwnd, GWL_STYLE, (wParam & BST_CHECKED) ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
      }
      SetCheck(hwnd, state, static_cast<int>(wParam) & 3);
      return 0;
    }
    case BM_GETSTATE:
      return state.check | (state.pushed ? BST_PUSHED : 0) | (state.focused ? BST_FOCUS : 0);
    case BM_SETSTATE: SetPushed(hwnd, state, wParam != 0); return 0;
    case BM_SETSTYLE: {
      LONG style = GetWindowLongW(hwnd, GWL_STYLE);
      SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>((style & ~BS_TYPEMASK) | (wParam & 0xFFFF)));
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

void RegisterButtonClass() { RegisterControlClass(WC_BUTTON, ButtonProc); }

}  // namespace vqplatform

// Tooltips: tools are control windows or rectangles of a window. Mouse
// moves relayed with TTM_RELAYEVENT (or seen by subclassed tools) start the
// initial delay; then the tip shows below the pointer until it leaves the
// tool (checked on a timer, as moves outside the tool are not relayed).
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/display/Cursors.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/GdiText.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/SysColors.h"
#include "platform/win/Timers.h"
#include "platform/win/controls/ControlSupport.h"

namespace vqplatform {
namespace {

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kLeaveTimer = 2;
constexpr UINT kLeaveCheckMs = 100;

struct Tool {
  UINT flags = 0;
  HWND window = nullptr;
  UINT_PTR id = 0;
  RECT rect{};
  std::wstring text;
};

struct TooltipState : ControlBase {
  std::vector<Tool> tools;
  bool active = true;
  COLORREF background = GetSysColor(COLOR_INFOBK);
  COLORREF textColor = GetSysColor(COLOR_INFOTEXT);
  int initialDelay = 500;
  int autoPop = 5000;
  int reshow = 100;
  int pending = -1;  // tool under the pointer, waiting for the delay
  int shown = -1;
  POINT lastPoint{0, 0};
};

int FindTool(const TooltipState& state, HWND window, UINT_PTR id) {
  for (size_t i = 0; i < state.tools.size(); ++i)
    if (state.tools[i].window == window && state.tools[i].id == id) return static_cast<int>(i);
  return -1;
}

// The tool under a point given in `window`'s client coordinates.
int ToolAt(const TooltipState& state, HWND window, POINT point) {
  for (size_t i = 0; i < state.tools.size(); ++i) {
    const Tool& tool = state.tools[i];
    if (tool.flags & TTF_IDISHWND) {
      if (reinterpret_cast<HWND>(tool.id) == window) return static_cast<int>(i);
    } else if (tool.window == window && PtInRect(&tool.rect, point)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// Whether the pointer is over a tool (its window, or its rectangle).
bool PointerOver(const Tool& tool) {
  POINT pointer{};
  if (!GetCursorPos(&pointer)) return false;
  RECT area{};
  if (tool.flags & TTF_IDISHWND) {
    GetWindowRect(reinterpret_cast<HWND>(tool.id), &area);
  } else {
    POINT corners[2] = {{tool.rect.left, tool.rect.top}, {tool.rect.right, tool.rect.bottom}};
    for (POINT& p : corners) ClientToScreen(tool.window, &p);
    area = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  }
  return PtInRect(&area, pointer) != FALSE;
}

void Hide(HWND hwnd, TooltipState& state) {
  KillTimer(hwnd, kLeaveTimer);
  state.shown = -1;
  ShowWindow(hwnd, SW_HIDE);
}

void Show(HWND hwnd, TooltipState& state, int index) {
  const Tool& tool = state.tools[static_cast<size_t>(index)];
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
  RECT measure{0, 0, 400, 0};
  DrawTextW(dc, tool.text.c_str(), -1, &measure, DT_CALCRECT | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  state.shown = index;
  MoveWindow(hwnd, state.lastPoint.x, state.lastPoint.y + 20, measure.right + 8, measure.bottom + 4, FALSE);
  SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
  InvalidateRect(hwnd, nullptr, TRUE);
  SetTimer(hwnd, kLeaveTimer, kLeaveCheckMs, nullptr);
}

void Relay(HWND hwnd, TooltipState& state, const MSG& msg) {
  if (msg.message != WM_MOUSEMOVE && msg.message != WM_LBUTTONDOWN && msg.message != WM_RBUTTONDOWN) return;
  if (!state.active) return;
  POINT point{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
  int tool = ToolAt(state, msg.hwnd, point);
  state.lastPoint = point;
  ClientToScreen(msg.hwnd, &state.lastPoint);
  if (msg.message != WM_MOUSEMOVE || tool < 0) {
    state.pending = -1;
    KillTimer(hwnd, kShowTimer);
    Hide(hwnd, state);
    return;
  }
  if (tool == state.shown || tool == state.pending) return;
  Hide(hwnd, state);
  state.pending = tool;
  SetTimer(hwnd, kShowTimer, static_cast<UINT>(std::max(1, state.initialDelay)), nullptr);
}

void Paint(HWND hwnd, TooltipState& state) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd, &paint);
  RECT client = ClientRect(hwnd);
  HBRUSH fill = CreateSolidBrush(state.background);
  FillRect(dc, &client, fill);
  DeleteObject(fill);
  FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME));
  if (state.shown >= 0 && state.shown < static_cast<int>(state.tools.size())) {
    HGDIOBJ old = SelectObject(dc, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, state.textColor);
    RECT text = client;
    InflateRect(&text, -4, -2);
    DrawTextW(dc, state.tools[static_cast<size_t>(state.shown)].text.c_str(), -1, &text, DT_LEFT | DT_TOP | DT_NOPREFIX);
    SelectObject(dc, old);
  }
  EndPaint(hwnd, &paint);
}

LRESULT CALLBACK TooltipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TooltipState& state = ControlState<TooltipState>(hwnd);
  switch (message) {
    case WM_PAINT: Paint(hwnd, state); return 0;
    case WM_TIMER:
      if (wParam == kShowTimer) {
        KillTimer(hwnd, kShowTimer);
        if (state.pending >= 0 && state.pending < static_cast<int>(state.tools.size())) Show(hwnd, state, state.pending);
        state.pending = -1;
      } else if (wParam == kLeaveTimer && state.shown >= 0 && state.shown < static_cast<int>(state.tools.size()) &&
                 !PointerOver(state.tools[static_cast<size_t>(state.shown)])) {
        Hide(hwnd, state);
      }
      return 0;
    case TTM_ADDTOOLW: {
      auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
      if (!info) return FALSE;
      Tool tool{info->uFlags, info->hwnd, info->uId, info->rect, info->lpszText ? info->lpszText : L""};
      int existing = FindTool(state, tool.window, tool.id);
      if (existing >= 0) state.tools[static_cast<size_t>(existing)] = tool;
      else state.tools.push_back(tool);
      return TRUE;
    }
    case TTM_DELTOOLW: {
      auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
      int index = info ? FindTool(state, info->hwnd, info->uId) : -1;
      if (index >= 0) {
        if (state.shown == index) Hide(hwnd, state);
        state.tools.erase(state.tools.begin() + index);
      }
      return 0;
    }
    case TTM_UPDATETIPTEXTW: {
      auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
      int index = info ? FindTool(state, info->hwnd, info->uId) : -1;
      if (index >= 0) state.tools[static_cast<size_t>(index)].text = info->lpszText ? info->lpszText : L"";
      if (index >= 0 && index == state.shown) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case TTM_GETTEXTW: {
      auto* info = reinterpret_cast<TOOLINFOW*>(lParam);
      int index = info ? FindTool(state, info->hwnd, info->uId) : -1;
      if (index < 0 || !info->lpszText) return 0;
      const std::wstring& text = state.tools[static_cast<size_t>(index)].text;
      size_t room = wParam ? static_cast<size_t>(wParam) - 1 : 79;
      size_t count = std::min(text.size(), room);
      std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(count), info->lpszText);
      info->lpszText[count] = 0;
      return static_cast<LRESULT>(count);
    }
    case TTM_GETTOOLCOUNT: return static_cast<LRESULT>(state.tools.size());
    case TTM_ACTIVATE:
      state.active = wParam != 0;
      if (!state.active) Hide(hwnd, state);
      return 0;
    case TTM_SETDELAYTIME: {
      auto delay = static_cast<int>(static_cast<SHORT>(LOWORD(lParam)));
      if (wParam == TTDT_INITIAL || wParam == TTDT_AUTOMATIC) state.initialDelay = delay < 0 ? 500 : delay;
      if (wParam == TTDT_AUTOPOP) state.autoPop = delay;
      if (wParam == TTDT_RESHOW) state.reshow = delay;
      return 0;
    }
    case TTM_GETDELAYTIME:
      return wParam == TTDT_AUTOPOP ? state.autoPop : wParam == TTDT_RESHOW ? state.reshow : state.initialDelay;
    case TTM_SETTIPBKCOLOR: state.background = static_cast<COLORREF>(wParam); return 0;
    case TTM_SETTIPTEXTCOLOR: state.textColor = static_cast<COLORREF>(wParam); return 0;
    case TTM_GETTIPBKCOLOR: return state.background;
    case TTM_GETTIPTEXTCOLOR: return state.textColor;
    case TTM_RELAYEVENT:
      if (lParam) Relay(hwnd, state, *reinterpret_cast<const MSG*>(lParam));
      return 0;
    case TTM_POP: Hide(hwnd, state); return 0;
    default: break;
  }
  LRESULT result = 0;
  if (HandleCommonMessage(hwnd, state, message, wParam, lParam, &result)) return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void RegisterTooltipClass() { RegisterControlClass(TOOLTIPS_CLASS, TooltipProc); }

std::wstring TooltipText(HWND tooltip, HWND toolWindow, UINT_PTR toolId) {
  std::shared_ptr<void> stored = GetWindowAttachment(tooltip, "control");
  if (!stored) return L"";
  auto& state = *static_cast<TooltipState*>(stored.get());
  int index = FindTool(state, toolWindow, toolId);
  return index >= 0 ? state.tools[static_cast<size_t>(index)].text : L"";
}

}  // namespace vqplatform

// Sliders (horizontal track bars), reporting through WM_HSCROLL.
#include <algorithm>

#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/SysColors.h"
#include "platform/win/controls/ControlSupport.h"

namespace vqplatform {
namespace {

constexpr int kThumbWidth = 10;

struct SliderState : ControlBase {
  int minimum = 0;
  int maximum = 100;
  int position = 0;
  int pageSize = 20;
  int lineSize = 1;
  bool focused = false;
  bool dragging = false;
};

RECT Channel(HWND hwnd) {
  RECT client = ClientRect(hwnd);
  int middle = (client.top + client.bottom) / 2;
  return RECT{client.left + kThumbWidth / 2 + 2, middle - 2, client.right - kThumbWidth / 2 - 2, middle + 2};
}

int ThumbCenter(HWND hwnd, const SliderState& state) {
  RECT channel = Channel(hwnd);
  int span = std::max(1, state.maximum - state.minimum);
  return channel.left + MulDiv(state.position - state.minimum, channel.right - channel.left, span);
}

int PositionAt(HWND hwnd, const SliderState& state, int x) {
  RECT channel = Channel(hwnd);
  int width = std::max<int>(1, channel.right - channel.left);
  int position = state.minimum + MulDiv(x - channel.left, state.maximum - state.minimum, width);
  return std::clamp(position, state.minimum, state.maximum);
}

void SetPosition(HWND hwnd, SliderState& state, int position) {
  position = std::clamp(position, state.minimum, std::max(state.minimum, state.maximum));
  if (position == state.position) return;
  state.position = position;
  InvalidateRect(hwnd, nullptr, TRUE);
}

void Report(HWND hwnd, const SliderState& state, int code) {
  if (HWND parent = GetParent(hwnd))
    SendMessageW(parent, WM_HSCROLL, MAKEWPARAM(code, state.position), reinterpret_cast<LPARAM>(hwnd));
}

void Paint(HWND hwnd, SliderState& state) {
  PaintControl(hwnd, state, WM_CTLCOLORSTATIC, [&](HDC dc, const RECT& client) {
    RECT channel = Channel(hwnd);
    DrawEdge(dc, &channel, EDGE_SUNKEN, BF_RECT);
    int center = ThumbCenter(hwnd, state);
    RECT thumb{center - kThumbWidth / 2, client.top + 2, center + kThumbWidth / 2, client.bottom - 2};
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE);
    if (state.focused) {
      RECT focus = client;
      DrawFocusRect(dc, &focus);
    }
  });
}

LRESULT CALLBACK SliderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  SliderState& state = ControlState<SliderState>(hwnd);
  switch (message) {
    case WM_PAINT: Paint(hwnd, state); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_SETFOCUS: state.focused = true; InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_KILLFOCUS: state.focused = false; InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      SetCapture(hwnd);
      state.dragging = true;
      SetPosition(hwnd, state, PositionAt(hwnd, state, GET_X_LPARAM(lParam)));
      Report(hwnd, state, TB_THUMBTRACK);
      return 0;
    case WM_MOUSEMOVE:
      if (!state.dragging) return 0;
      SetPosition(hwnd, state, PositionAt(hwnd, state, GET_X_LPARAM(lParam)));
      Report(hwnd, state, TB_THUMBTRACK);
      return 0;
    case WM_LBUTTONUP:
      if (!state.dragging) return 0;
      state.dragging = false;
      ReleaseCapture();
      Report(hwnd, state, TB_THUMBPOSITION);
      Report(hwnd, state, TB_ENDTRACK);
      NotifyHeader(hwnd, NM_RELEASEDCAPTURE);
      return 0;
    case WM_KEYDOWN: {
      int code = -1, target = state.position;
      switch (wParam) {
        case VK_LEFT: case VK_UP: code = TB_LINEUP; target -= state.lineSize; break;
        case VK_RIGHT: case VK_DOWN: code = TB_LINEDOWN; target += state.lineSize; break;
        case VK_PRIOR: code = TB_PAGEUP; target -= state.pageSize; break;
        case VK_NEXT: code = TB_PAGEDOWN; target += state.pageSize; break;
        case VK_HOME: code = TB_TOP; target = state.minimum; break;
        case VK_END: code = TB_BOTTOM; target = state.maximum; break;
        default: return 0;
      }
      SetPosition(hwnd, state, target);
      Report(hwnd, state, code);
      Report(hwnd, state, TB_ENDTRACK);
      return 0;
    }
    case TBM_GETPOS: return state.position;
    case TBM_GETRANGEMIN: return state.minimum;
    case TBM_GETRANGEMAX: return state.maximum;
    case TBM_SETPOS: SetPosition(hwnd, state, static_cast<int>(lParam)); return 0;
    case TBM_SETRANGE:
      state.minimum = static_cast<SHORT>(LOWORD(lParam));
      state.maximum = static_cast<SHORT>(HIWORD(lParam));
      SetPosition(hwnd, state, state.position);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case TBM_SETRANGEMIN: state.minimum = static_cast<int>(lParam); SetPosition(hwnd, state, state.position); return 0;
    case TBM_SETRANGEMAX: state.maximum = static_cast<int>(lParam); SetPosition(hwnd, state, state.position); return 0;
    case TBM_SETPAGESIZE: { int old = state.pageSize; state.pageSize = static_cast<int>(lParam); return old; }
    case TBM_GETPAGESIZE: return state.pageSize;
    case TBM_SETLINESIZE: { int old = state.lineSize; state.lineSize = static_cast<int>(lParam); return old; }
    case TBM_GETLINESIZE: return state.lineSize;
    default: break;
  }
  LRESULT result = 0;
  if (HandleCommonMessage(hwnd, state, message, wParam, lParam, &result)) return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void RegisterSliderClass() { RegisterControlClass(TRACKBAR_CLASS, SliderProc); }

}  // namespace vqplatform

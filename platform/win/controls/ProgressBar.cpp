// Progress bars: a sunken box filled from the left in the highlight colour.
#include <algorithm>

#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/InputFocus.h"
#include "platform/win/SysColors.h"
#include "platform/win/controls/ControlSupport.h"

namespace vqplatform {
namespace {

struct ProgressState : ControlBase {
  int minimum = 0;
  int maximum = 100;
  int position = 0;
  int step = 10;
};

LRESULT SetPosition(HWND hwnd, ProgressState& state, int position) {
  int previous = state.position;
  state.position = std::clamp(position, state.minimum, std::max(state.minimum, state.maximum));
  if (state.position != previous) InvalidateRect(hwnd, nullptr, TRUE);
  return previous;
}

void Paint(HWND hwnd, ProgressState& state) {
  PaintControl(hwnd, state, WM_CTLCOLORSTATIC, [&](HDC dc, const RECT& client) {
    RECT area = client;
    DrawEdge(dc, &area, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    int span = std::max(1, state.maximum - state.minimum);
    RECT bar = area;
    bar.right = area.left + MulDiv(state.position - state.minimum, area.right - area.left, span);
    if (bar.right > bar.left) FillRect(dc, &bar, GetSysColorBrush(COLOR_HIGHLIGHT));
  });
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ProgressState& state = ControlState<ProgressState>(hwnd);
  switch (message) {
    case WM_PAINT: Paint(hwnd, state); return 0;
    case PBM_SETRANGE:
    case PBM_SETRANGE32: {
      LRESULT previous = MAKELRESULT(state.minimum, state.maximum);
      if (message == PBM_SETRANGE) {
        state.minimum = LOWORD(lParam);
        state.maximum = HIWORD(lParam);
      } else {
        state.minimum = static_cast<int>(wParam);
        state.maximum = static_cast<int>(lParam);
      }
      SetPosition(hwnd, state, state.position);
      InvalidateRect(hwnd, nullptr, TRUE);
      return previous;
    }
    case PBM_GETRANGE: return wParam ? state.minimum : state.maximum;
    case PBM_SETPOS: return SetPosition(hwnd, state, static_cast<int>(wParam));
    case PBM_GETPOS: return state.position;
    case PBM_DELTAPOS: return SetPosition(hwnd, state, state.position + static_cast<int>(static_cast<INT_PTR>(wParam)));
    case PBM_SETSTEP: { int previous = state.step; state.step = static_cast<int>(wParam); return previous; }
    case PBM_STEPIT: {
      int next = state.position + state.step;
      if (next > state.maximum) next = state.minimum + (next - state.maximum);
      return SetPosition(hwnd, state, next);
    }
    default: break;
  }
  LRESULT result = 0;
  if (HandleCommonMessage(hwnd, state, message, wParam, lParam, &result)) return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void RegisterProgressClass() { RegisterControlClass(PROGRESS_CLASS, ProgressProc); }

}  // namespace vqplatform

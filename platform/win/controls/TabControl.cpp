// Tab controls: a row of tabs over a raised page frame.
#include <vector>

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiText.h"
#include "platform/win/InputFocus.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/SysColors.h"
#include "platform/win/controls/ControlSupport.h"

namespace vqplatform {
namespace {

struct TabItem {
  std::wstring text;
  LPARAM data = 0;
};

struct TabState : ControlBase {
  std::vector<TabItem> items;
  int current = -1;
  bool focused = false;
};

int Count(const TabState& state) { return static_cast<int>(state.items.size()); }

// The tab rectangles, measured with the control's font.
std::vector<RECT> TabRects(HWND hwnd, const TabState& state, int* rowHeight) {
  std::vector<RECT> rects;
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  int height = metrics.tmHeight + 6;
  int x = 2;
  for (const TabItem& item : state.items) {
    SIZE extent{0, 0};
    if (!item.text.empty()) GetTextExtentPoint32W(dc, item.text.c_str(), static_cast<int>(item.text.size()), &extent);
    rects.push_back(RECT{x, 2, x + extent.cx + 12, 2 + height});
    x += extent.cx + 12;
  }
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  if (rowHeight) *rowHeight = height + 2;
  return rects;
}

void Select(HWND hwnd, TabState& state, int index, bool notify) {
  if (index < 0 || index >= Count(state) || index == state.current) return;
  if (notify && NotifyHeader(hwnd, TCN_SELCHANGING)) return;
  state.current = index;
  InvalidateRect(hwnd, nullptr, TRUE);
  if (notify) NotifyHeader(hwnd, TCN_SELCHANGE);
}

void Paint(HWND hwnd, TabState& state) {
  PaintControl(hwnd, state, WM_CTLCOLORSTATIC, [&](HDC dc, const RECT& client) {
    int rowHeight = 0;
    std::vector<RECT> rects = TabRects(hwnd, state, &rowHeight);
    RECT page{client.left, client.top + rowHeight, client.right, client.bottom};
    DrawEdge(dc, &page, EDGE_RAISED, BF_RECT);
    for (int i = 0; i < Count(state); ++i) {
      RECT tab = rects[static_cast<size_t>(i)];
      if (i == state.current) InflateRect(&tab, 2, 0), tab.top -= 2, tab.bottom += 1;
      FillRect(dc, &tab, GetSysColorBrush(COLOR_BTNFACE));
      DrawEdge(dc, &tab, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
      RECT text = tab;
      DrawTextW(dc, state.items[static_cast<size_t>(i)].text.c_str(), -1, &text,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      if (i == state.current && state.focused) {
        InflateRect(&text, -3, -3);
        DrawFocusRect(dc, &text);
      }
    }
  });
}

bool CopyItem(const TabItem& item, TCITEMW* out) {
  if (!out) return false;
  if ((out->mask & TCIF_TEXT) && out->pszText && out->cchTextMax > 0) {
    size_t count = std::min(item.text.size(), static_cast<size_t>(out->cchTextMax - 1));
    std::copy(item.text.begin(), item.text.begin() + static_cast<std::ptrdiff_t>(count), out->pszText);
    out->pszText[count] = 0;
  }
  if (out->mask & TCIF_PARAM) out->lParam = item.data;
  return true;
}

void ApplyItem(TabItem& item, const TCITEMW* in) {
  if ((in->mask & TCIF_TEXT) && in->pszText) item.text = in->pszText;
  if (in->mask & TCIF_PARAM) item.data = in->lParam;
}

LRESULT CALLBACK TabProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TabState& state = ControlState<TabState>(hwnd);
  switch (message) {
    case WM_CREATE:
      // Pages are made its children here: Tab goes on into the page shown.
      SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
      return 0;
    case WM_PAINT: Paint(hwnd, state); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_SETFOCUS: state.focused = true; InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_KILLFOCUS: state.focused = false; InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_LBUTTONDOWN: {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      std::vector<RECT> rects = TabRects(hwnd, state, nullptr);
      for (int i = 0; i < Count(state); ++i)
        if (PtInRect(&rects[static_cast<size_t>(i)], point)) {
          SetFocus(hwnd);
          Select(hwnd, state, i, true);
          break;
        }
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_LEFT) Select(hwnd, state, state.current - 1, true);
      if (wParam == VK_RIGHT) Select(hwnd, state, state.current + 1, true);
      return 0;
    case TCM_GETITEMCOUNT: return Count(state);
    case TCM_INSERTITEMW: {
      auto* in = reinterpret_cast<const TCITEMW*>(lParam);
      if (!in) return -1;
      auto at = std::min(static_cast<int>(wParam), Count(state));
      TabItem item;
      ApplyItem(item, in);
      state.items.insert(state.items.begin() + at, item);
      if (state.current < 0) state.current = 0;
      else if (state.current >= at && Count(state) > 1) ++state.current;
      InvalidateRect(hwnd, nullptr, TRUE);
      return at;
    }
    case TCM_GETITEMW:
    case TCM_SETITEMW: {
      auto at = static_cast<int>(wParam);
      if (at < 0 || at >= Count(state) || !lParam) return FALSE;
      if (message == TCM_GETITEMW) return CopyItem(state.items[static_cast<size_t>(at)], reinterpret_cast<TCITEMW*>(lParam));
      ApplyItem(state.items[static_cast<size_t>(at)], reinterpret_cast<const TCITEMW*>(lParam));
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TCM_DELETEITEM: {
      auto at = static_cast<int>(wParam);
      if (at < 0 || at >= Count(state)) return FALSE;
      state.items.erase(state.items.begin() + at);
      if (state.current >= Count(state)) state.current = Count(state) - 1;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TCM_DELETEALLITEMS: state.items.clear(); state.current = -1; InvalidateRect(hwnd, nullptr, TRUE); return TRUE;
    case TCM_GETCURSEL: return state.current;
    case TCM_SETCURSEL: {
      int previous = state.current;
      auto at = static_cast<int>(wParam);
      if (at < 0 || at >= Count(state)) return -1;
      Select(hwnd, state, at, false);
      return previous;
    }
    case TCM_GETITEMRECT: {
      std::vector<RECT> rects = TabRects(hwnd, state, nullptr);
      auto at = static_cast<int>(wParam);
      if (at < 0 || at >= Count(state) || !lParam) return FALSE;
      *reinterpret_cast<RECT*>(lParam) = rects[static_cast<size_t>(at)];
      return TRUE;
    }
    case TCM_ADJUSTRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (!rect) return 0;
      int rowHeight = 0;
      TabRects(hwnd, state, &rowHeight);
      int sign = wParam ? -1 : 1;
      rect->left += sign * 4;
      rect->right -= sign * 4;
      rect->top += sign * (rowHeight + 4);
      rect->bottom -= sign * 4;
      return 0;
    }
    default: break;
  }
  LRESULT result = 0;
  if (HandleCommonMessage(hwnd, state, message, wParam, lParam, &result)) return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void RegisterTabClass() { RegisterControlClass(WC_TABCONTROL, TabProc); }

}  // namespace vqplatform

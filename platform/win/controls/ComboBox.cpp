// Drop-down combo boxes (with an edit field, or a list only). The window
// is the selection field; the height the creator gave is the field and the
// dropped list together. The list opens with a click or F4 as a pop-up
// window under the field (above it where the work area has no room below),
// where a click picks an item; the arrow keys, Page Up and Down, Home, End,
// Enter and Escape drive it too, and the wheel scrolls it.
//
// The list's height is, as on Windows, the part of the created height below
// the field when that holds at least a row, else up to kDefaultRows rows;
// never more rows than there are items, never past the work area. Longer
// lists scroll, with a scroll bar, and keep the current item in view.
#include <algorithm>
#include <vector>

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/GdiText.h"
#include "platform/win/InputFocus.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/SysColors.h"
#include "platform/win/SystemMetrics.h"
#include "platform/win/WindowRegistry.h"
#include "platform/win/controls/ControlSupport.h"

namespace vqplatform {
namespace {

struct ComboItem {
  std::wstring text;
  LPARAM data = 0;
};

// Rows of a dropped list without a list part in the created height
// (Common Controls' minimum of visible items).
constexpr int kDefaultRows = 30;
// Rows scrolled by one notch of the wheel.
constexpr int kWheelRows = 3;

struct ComboState : ControlBase {
  std::vector<ComboItem> items;
  int current = -1;
  bool dropped = false;
  bool focused = false;
  size_t limit = 0;
  int totalHeight = 0;  // field and dropped list, as created
  HWND list = nullptr;
  // The dropped list: its first row shown, the rows it shows, the row
  // under the mouse (-1: none), a press that began on its scroll bar.
  int top = 0;
  int rows = 1;
  int hot = -1;
  bool pressOnBar = false;
};

constexpr wchar_t kListClass[] = L"ComboLBox";
// Sent by the dropped list to its combo box: the item clicked (wParam).
constexpr UINT kPickFromList = WM_USER + 0x300;

struct ListState {
  HWND combo = nullptr;
};

void OpenList(HWND combo, ComboState& state);
void CloseList(ComboState& state);

bool HasEdit(HWND hwnd) { return (ControlStyle(hwnd) & 0x3) == CBS_DROPDOWN || (ControlStyle(hwnd) & 0x3) == CBS_SIMPLE; }

int ItemCount(const ComboState& state) { return static_cast<int>(state.items.size()); }

int MaxTop(const ComboState& state) { return std::max(0, ItemCount(state) - state.rows); }

// Scrolls the dropped list to `top` (kept in range); repaints it.
void ScrollTo(ComboState& state, int top) {
  top = std::clamp(top, 0, MaxTop(state));
  if (top == state.top) return;
  state.top = top;
  state.hot = -1;
  if (state.list) InvalidateRect(state.list, nullptr, TRUE);
}

// The smallest scroll that shows `index`.
void ScrollIntoView(ComboState& state, int index) {
  if (index < 0) return;
  if (index < state.top)
    ScrollTo(state, index);
  else if (index >= state.top + state.rows)
    ScrollTo(state, index - state.rows + 1);
}

void Select(HWND hwnd, ComboState& state, int index) {
  state.current = index >= 0 && index < ItemCount(state) ? index : -1;
  std::wstring text = state.current >= 0 ? state.items[static_cast<size_t>(state.current)].text : L"";
  DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  ScrollIntoView(state, state.current);
  if (state.list) InvalidateRect(state.list, nullptr, TRUE);
  InvalidateRect(hwnd, nullptr, TRUE);
}

void SetDropped(HWND hwnd, ComboState& state, bool dropped, bool accept) {
  if (state.dropped == dropped) return;
  state.dropped = dropped;
  if (dropped) {
    NotifyCommand(hwnd, CBN_DROPDOWN);
    OpenList(hwnd, state);
  } else {
    CloseList(state);
    NotifyCommand(hwnd, accept ? CBN_SELENDOK : CBN_SELENDCANCEL);
    NotifyCommand(hwnd, CBN_CLOSEUP);
  }
  InvalidateRect(hwnd, nullptr, TRUE);
}

// Moves the selection to `next` (kept in range), as the keys and a closed
// box's wheel do.
void MoveSelectionTo(HWND hwnd, ComboState& state, int next) {
  if (state.items.empty()) return;
  next = std::clamp(next, 0, ItemCount(state) - 1);
  if (next == state.current) return;
  state.hot = -1;
  Select(hwnd, state, next);
  NotifyCommand(hwnd, CBN_SELCHANGE);
  if (!state.dropped) NotifyCommand(hwnd, CBN_SELENDOK);
}

void MoveSelection(HWND hwnd, ComboState& state, int step) {
  if (state.items.empty()) return;
  MoveSelectionTo(hwnd, state, state.current < 0 ? 0 : state.current + step);
}

int Find(const ComboState& state, int after, LPCWSTR text, bool exact) {
  if (!text) return CB_ERR;
  std::wstring wanted = text;
  int count = ItemCount(state);
  for (int step = 1; step <= count; ++step) {
    int index = (after + step + count) % count;
    const std::wstring& item = state.items[static_cast<size_t>(index)].text;
    bool match = exact ? EqualNoCase(item, wanted)
                       : item.size() >= wanted.size() && EqualNoCase(item.substr(0, wanted.size()), wanted);
    if (match) return index;
  }
  return CB_ERR;
}

void Paint(HWND hwnd, ComboState& state) {
  PaintControl(hwnd, state, WM_CTLCOLOREDIT, [&](HDC dc, const RECT& client) {
    RECT area = client;
    DrawEdge(dc, &area, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    int arrowWidth = std::min<int>(16, area.right - area.left);
    RECT arrow{area.right - arrowWidth, area.top, area.right, area.bottom};
    DrawFrameControl(dc, &arrow, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | (state.dropped ? DFCS_PUSHED : 0) |
                                                 (IsWindowEnabled(hwnd) ? 0 : DFCS_INACTIVE));
    RECT field{area.left + 2, area.top, arrow.left - 1, area.bottom};
    bool highlight = state.focused && !HasEdit(hwnd);
    if (highlight) FillRect(dc, &field, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(!IsWindowEnabled(hwnd) ? COLOR_GRAYTEXT
                                 : highlight            ? COLOR_HIGHLIGHTTEXT
                                                        : COLOR_WINDOWTEXT));
    std::wstring text = WindowText(hwnd);
    DrawTextW(dc, text.c_str(), -1, &field, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  });
}

// The selection field is as high as the font's line plus the edges.
void FitHeight(HWND hwnd, HFONT font) {
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  POINT origin{rect.left, rect.top};
  if (HWND parent = GetParent(hwnd)) ScreenToClient(parent, &origin);
  MoveWindow(hwnd, origin.x, origin.y, rect.right - rect.left, metrics.tmHeight + 8, FALSE);
}

int RowHeight(const ComboState& state) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  DeleteDC(dc);
  return metrics.tmHeight + 2;
}

HWND TopLevelOf(HWND hwnd) {
  while (GetParent(hwnd) && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) hwnd = GetParent(hwnd);
  return hwnd;
}

// The list's one-pixel frame, top and bottom.
constexpr int kListFrame = 2;

int ScrollBarWidth() {
  int width = GetSystemMetrics(SM_CXVSCROLL);
  return width > 0 ? width : 16;
}

bool HasScrollBar(const ComboState& state) { return ItemCount(state) > state.rows; }

// Where the dropped list goes on the screen for the field at `field`.
RECT DroppedRect(const ComboState& state, const RECT& field) {
  const int rowHeight = std::max(1, RowHeight(state));
  const int fieldHeight = field.bottom - field.top;
  const int count = std::max(1, ItemCount(state));
  const int listPart = state.totalHeight - fieldHeight;
  int rows = listPart >= rowHeight + kListFrame ? (listPart - kListFrame) / rowHeight : kDefaultRows;
  rows = std::clamp(rows, 1, count);
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) || work.bottom <= work.top) {
    work = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const int below = static_cast<int>(work.bottom - field.bottom), above = static_cast<int>(field.top - work.top);
  const int wanted = rows * rowHeight + kListFrame;
  // Below the field where it fits, else above where it fits, else on the
  // roomier side with the rows that fit there.
  bool up = false;
  if (wanted > below) {
    up = wanted <= above || above > below;
    const int room = up ? above : below;
    rows = std::max(1, std::min(rows, (room - kListFrame) / rowHeight));
  }
  const int height = rows * rowHeight + kListFrame;
  RECT rect{field.left, up ? field.top - height : field.bottom, field.right, 0};
  rect.bottom = rect.top + height;
  return rect;
}

void OpenList(HWND combo, ComboState& state) {
  RECT field{};
  GetWindowRect(combo, &field);
  RECT rect = DroppedRect(state, field);
  state.rows = std::max(1, (static_cast<int>(rect.bottom - rect.top) - kListFrame) / std::max(1, RowHeight(state)));
  state.hot = -1;
  state.pressOnBar = false;
  state.top = std::clamp(state.top, 0, MaxTop(state));
  ScrollIntoView(state, state.current);
  state.list = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kListClass, L"", WS_POPUP | WS_BORDER, rect.left,
                               rect.top, rect.right - rect.left, rect.bottom - rect.top, TopLevelOf(combo), nullptr,
                               nullptr, nullptr);
  if (!state.list) return;
  ControlState<ListState>(state.list).combo = combo;
  ShowWindow(state.list, SW_SHOWNOACTIVATE);
  UpdateWindow(state.list);
}

void CloseList(ComboState& state) {
  HWND list = state.list;
  state.list = nullptr;
  if (list && IsWindow(list)) DestroyWindow(list);
}

// The parts of the list's scroll bar, in list client coordinates.
struct ScrollBarParts {
  RECT bar, up, down, thumb;
};

ScrollBarParts BarParts(HWND list, const ComboState& state) {
  RECT client = ClientRect(list);
  ScrollBarParts parts{};
  parts.bar = RECT{client.right - 1 - ScrollBarWidth(), client.top + 1, client.right - 1, client.bottom - 1};
  const int arrow = std::min<int>(ScrollBarWidth(), (parts.bar.bottom - parts.bar.top) / 3);
  parts.up = RECT{parts.bar.left, parts.bar.top, parts.bar.right, parts.bar.top + arrow};
  parts.down = RECT{parts.bar.left, parts.bar.bottom - arrow, parts.bar.right, parts.bar.bottom};
  const int track = static_cast<int>(parts.down.top - parts.up.bottom);
  const int count = std::max(1, ItemCount(state));
  const int length = std::max(6, track * state.rows / count);
  const int travel = std::max(0, track - length);
  const int offset = MaxTop(state) > 0 ? travel * state.top / MaxTop(state) : 0;
  parts.thumb = RECT{parts.bar.left, parts.up.bottom + offset, parts.bar.right, parts.up.bottom + offset + length};
  return parts;
}

// The item row at a point of the list, -1 outside the rows.
int RowAt(HWND list, const ComboState& state, POINT point) {
  RECT client = ClientRect(list);
  const int right = HasScrollBar(state) ? static_cast<int>(client.right) - 1 - ScrollBarWidth() : client.right - 1;
  if (point.x < 1 || point.x >= right || point.y < 1) return -1;
  const int row = (point.y - 1) / std::max(1, RowHeight(state));
  if (row >= state.rows) return -1;
  const int index = state.top + row;
  return index < ItemCount(state) ? index : -1;
}

void PaintList(HWND hwnd, const ComboState& state) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd, &paint);
  RECT client = ClientRect(hwnd);
  FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
  FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME));
  HGDIOBJ old = SelectObject(dc, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  const bool bar = HasScrollBar(state);
  const int right = bar ? static_cast<int>(client.right) - 1 - ScrollBarWidth() : client.right - 1;
  const int height = RowHeight(state);
  // The row under the mouse is highlighted, else the current item.
  const int marked = state.hot >= 0 ? state.hot : state.current;
  for (int row = 0; row < state.rows && state.top + row < ItemCount(state); ++row) {
    const int i = state.top + row;
    RECT line{1, 1 + row * height, right, 1 + (row + 1) * height};
    const bool highlighted = i == marked;
    if (highlighted) FillRect(dc, &line, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, GetSysColor(highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    line.left += 2;
    DrawTextW(dc, state.items[static_cast<size_t>(i)].text.c_str(), -1, &line,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  if (bar) {
    ScrollBarParts parts = BarParts(hwnd, state);
    FillRect(dc, &parts.bar, GetSysColorBrush(COLOR_SCROLLBAR));
    DrawFrameControl(dc, &parts.up, DFC_SCROLL, DFCS_SCROLLUP | (state.top > 0 ? 0 : DFCS_INACTIVE));
    DrawFrameControl(dc, &parts.down, DFC_SCROLL, DFCS_SCROLLDOWN | (state.top < MaxTop(state) ? 0 : DFCS_INACTIVE));
    RECT thumb = parts.thumb;
    FillRect(dc, &thumb, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
  }
  SelectObject(dc, old);
  EndPaint(hwnd, &paint);
}

// A press on the list's scroll bar: the arrows scroll by a row, the track
// by a page.
void PressScrollBar(HWND list, ComboState& state, POINT point) {
  ScrollBarParts parts = BarParts(list, state);
  if (PtInRect(&parts.up, point))
    ScrollTo(state, state.top - 1);
  else if (PtInRect(&parts.down, point))
    ScrollTo(state, state.top + 1);
  else if (point.y < parts.thumb.top)
    ScrollTo(state, state.top - std::max(1, state.rows - 1));
  else if (point.y >= parts.thumb.bottom)
    ScrollTo(state, state.top + std::max(1, state.rows - 1));
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND combo = ControlState<ListState>(hwnd).combo;
  std::shared_ptr<void> stored = combo ? GetWindowAttachment(combo, "control") : nullptr;
  if (!stored) return DefWindowProcW(hwnd, message, wParam, lParam);
  auto& state = *static_cast<ComboState*>(stored.get());
  const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_PAINT: PaintList(hwnd, state); return 0;
    case WM_MOUSEACTIVATE: return 3;  // MA_NOACTIVATE: the combo keeps the focus
    case WM_MOUSEMOVE: {
      if (state.pressOnBar) return 0;
      const int row = RowAt(hwnd, state, point);
      if (row != state.hot) {
        state.hot = row;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      state.pressOnBar = false;
      if (HasScrollBar(state)) {
        const RECT bar = BarParts(hwnd, state).bar;
        state.pressOnBar = PtInRect(&bar, point) != FALSE;
      }
      if (state.pressOnBar) PressScrollBar(hwnd, state, point);
      return 0;
    case WM_LBUTTONUP: {
      if (state.pressOnBar) {
        state.pressOnBar = false;
        return 0;
      }
      const int index = RowAt(hwnd, state, point);
      if (index >= 0) PostMessageW(combo, kPickFromList, static_cast<WPARAM>(index), 0);
      return 0;
    }
    case WM_MOUSEWHEEL: return SendMessageW(combo, message, wParam, lParam);
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ComboState& state = ControlState<ComboState>(hwnd);
  switch (message) {
    case WM_CREATE:
      state.totalHeight = reinterpret_cast<const CREATESTRUCTW*>(lParam)->cy;
      return 0;
    case WM_DESTROY: CloseList(state); return 0;
    case kPickFromList: {
      auto index = static_cast<int>(wParam);
      if (index != state.current) {
        Select(hwnd, state, index);
        NotifyCommand(hwnd, CBN_SELCHANGE);
      }
      SetDropped(hwnd, state, false, true);
      return 0;
    }
    case WM_SETFONT:
      state.font = reinterpret_cast<HFONT>(wParam);
      FitHeight(hwnd, state.font);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_PAINT: Paint(hwnd, state); return 0;
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_WANTARROWS | (state.dropped ? DLGC_WANTALLKEYS : 0);
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      SetDropped(hwnd, state, !state.dropped, true);
      return 0;
    case WM_SETFOCUS: state.focused = true; InvalidateRect(hwnd, nullptr, TRUE); NotifyCommand(hwnd, CBN_SETFOCUS); return 0;
    case WM_KILLFOCUS:
      state.focused = false;
      SetDropped(hwnd, state, false, false);
      InvalidateRect(hwnd, nullptr, TRUE);
      NotifyCommand(hwnd, CBN_KILLFOCUS);
      return 0;
    case WM_MOUSEWHEEL: {
      const int notches = static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA;
      if (notches == 0) return 0;
      // An open list scrolls; a closed box steps through its items.
      if (state.dropped)
        ScrollTo(state, state.top - notches * std::min(kWheelRows, std::max(1, state.rows - 1)));
      else
        MoveSelection(hwnd, state, -notches);
      return 0;
    }
    case WM_KEYDOWN:
      switch (wParam) {
        case VK_F4: SetDropped(hwnd, state, !state.dropped, true); break;
        case VK_DOWN:
          if (GetKeyState(VK_MENU) < 0) SetDropped(hwnd, state, !state.dropped, true);
          else MoveSelection(hwnd, state, 1);
          break;
        case VK_UP: MoveSelection(hwnd, state, -1); break;
        case VK_NEXT: MoveSelection(hwnd, state, state.dropped ? std::max(1, state.rows - 1) : 1); break;
        case VK_PRIOR: MoveSelection(hwnd, state, state.dropped ? -std::max(1, state.rows - 1) : -1); break;
        case VK_HOME: if (!HasEdit(hwnd)) MoveSelectionTo(hwnd, state, 0); break;
        case VK_END: if (!HasEdit(hwnd)) MoveSelectionTo(hwnd, state, ItemCount(state) - 1); break;
        case VK_RETURN: SetDropped(hwnd, state, false, true); break;
        case VK_ESCAPE: SetDropped(hwnd, state, false, false); break;
        default: break;
      }
      return 0;
    case WM_CHAR: {
      if (!HasEdit(hwnd)) return 0;
      auto ch = static_cast<wchar_t>(wParam);
      std::wstring text = WindowText(hwnd);
      if (ch == VK_BACK) {
        if (text.empty()) return 0;
        text.pop_back();
      } else if (ch >= 0x20 && (state.limit == 0 || text.size() < state.limit)) {
        text.push_back(ch);
      } else {
        return 0;
      }
      DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
      InvalidateRect(hwnd, nullptr, TRUE);
      NotifyCommand(hwnd, CBN_EDITUPDATE);
      NotifyCommand(hwnd, CBN_EDITCHANGE);
      return 0;
    }
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
      ComboItem item{lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"", 0};
      auto at = static_cast<int>(static_cast<INT_PTR>(wParam));
      if (message == CB_ADDSTRING) {
        at = ItemCount(state);
        if (ControlStyle(hwnd) & CBS_SORT)
          at = static_cast<int>(std::upper_bound(state.items.begin(), state.items.end(), item,
                                                 [](const ComboItem& a, const ComboItem& b) { return a.text < b.text; }) -
                                state.items.begin());
      } else if (at < 0 || at > ItemCount(state)) {
        if (at >= 0) return CB_ERR;
        at = ItemCount(state);
      }
      state.items.insert(state.items.begin() + at, item);
      if (state.current >= at) ++state.current;
      return at;
    }
    case CB_DELETESTRING: {
      auto at = static_cast<int>(wParam);
      if (at < 0 || at >= ItemCount(state)) return CB_ERR;
      state.items.erase(state.items.begin() + at);
      if (state.current == at) Select(hwnd, state, -1);
      else if (state.current > at) --state.current;
      return ItemCount(state);
    }
    case CB_RESETCONTENT:
      state.items.clear();
      state.top = 0;
      Select(hwnd, state, -1);
      return 0;
    case CB_GETCOUNT: return ItemCount(state);
    case CB_GETCURSEL: return state.current;
    case CB_SETCURSEL: {
      auto at = static_cast<int>(static_cast<INT_PTR>(wParam));
      Select(hwnd, state, at);
      return at >= 0 && at < ItemCount(state) ? at : CB_ERR;
    }
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN: {
      auto at = static_cast<int>(wParam);
      if (at < 0 || at >= ItemCount(state)) return CB_ERR;
      const std::wstring& text = state.items[static_cast<size_t>(at)].text;
      if (message == CB_GETLBTEXT && lParam)
        std::copy(text.c_str(), text.c_str() + text.size() + 1, reinterpret_cast<LPWSTR>(lParam));
      return static_cast<LRESULT>(text.size());
    }
    case CB_GETITEMDATA:
    case CB_SETITEMDATA: {
      auto at = static_cast<int>(wParam);
      if (at < 0 || at >= ItemCount(state)) return CB_ERR;
      if (message == CB_SETITEMDATA) state.items[static_cast<size_t>(at)].data = lParam;
      return state.items[static_cast<size_t>(at)].data;
    }
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
      if (state.items.empty()) return CB_ERR;
      return Find(state, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<LPCWSTR>(lParam),
                  message == CB_FINDSTRINGEXACT);
    case CB_SELECTSTRING: {
      if (state.items.empty()) return CB_ERR;
      int found = Find(state, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<LPCWSTR>(lParam), false);
      if (found != CB_ERR) Select(hwnd, state, found);
      return found;
    }
    case CB_SHOWDROPDOWN: SetDropped(hwnd, state, wParam != 0, true); return TRUE;
    case CB_GETDROPPEDSTATE: return state.dropped ? TRUE : FALSE;
    case CB_GETDROPPEDCONTROLRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (!rect) return CB_ERR;
      if (state.list) {
        GetWindowRect(state.list, rect);
      } else {
        RECT field{};
        GetWindowRect(hwnd, &field);
        *rect = DroppedRect(state, field);
      }
      return TRUE;
    }
    case CB_GETTOPINDEX: return state.top;
    case CB_SETTOPINDEX: {
      auto at = static_cast<int>(static_cast<INT_PTR>(wParam));
      if (at < 0 || at >= ItemCount(state)) return CB_ERR;
      state.top = at;
      if (state.list) {
        state.top = std::min(at, MaxTop(state));
        InvalidateRect(state.list, nullptr, TRUE);
      }
      return 0;
    }
    case CB_LIMITTEXT: state.limit = static_cast<size_t>(wParam); return TRUE;
    default: break;
  }
  LRESULT result = 0;
  if (HandleCommonMessage(hwnd, state, message, wParam, lParam, &result)) return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void RegisterComboBoxClass() {
  RegisterControlClass(WC_COMBOBOX, ComboProc);
  RegisterControlClass(kListClass, ListProc);
}

}  // namespace vqplatform

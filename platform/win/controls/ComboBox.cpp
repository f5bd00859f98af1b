// Drop-down combo boxes (with an edit field, or a list only). The window
// is the selection field; the height the creator gave is the field and the
// dropped list together. The list opens with a click or F4 as a pop-up
// window under the field, where a click picks an item; the arrow keys,
// Enter and Escape drive it too.
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
#include "platform/win/WindowRegistry.h"
#include "platform/win/controls/ControlSupport.h"

namespace vqplatform {
namespace {

struct ComboItem {
  std::wstring text;
  LPARAM data = 0;
};

struct ComboState : ControlBase {
  std::vector<ComboItem> items;
  int current = -1;
  bool dropped = false;
  bool focused = false;
  size_t limit = 0;
  int totalHeight = 0;  // field and dropped list, as created
  HWND list = nullptr;
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

void Select(HWND hwnd, ComboState& state, int index) {
  state.current = index >= 0 && index < ItemCount(state) ? index : -1;
  std::wstring text = state.current >= 0 ? state.items[static_cast<size_t>(state.current)].text : L"";
  DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
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

void MoveSelection(HWND hwnd, ComboState& state, int step) {
  if (state.items.empty()) return;
  int next = std::clamp(state.current < 0 ? 0 : state.current + step, 0, ItemCount(state) - 1);
  if (next == state.current) return;
  Select(hwnd, state, next);
  if (state.list) InvalidateRect(state.list, nullptr, TRUE);
  NotifyCommand(hwnd, CBN_SELCHANGE);
  if (!state.dropped) NotifyCommand(hwnd, CBN_SELENDOK);
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

void OpenList(HWND combo, ComboState& state) {
  RECT field{};
  GetWindowRect(combo, &field);
  int rows = std::max(1, ItemCount(state));
  int listHeight = std::min(rows * RowHeight(state) + 2,
                            std::max<int>(RowHeight(state) + 2, state.totalHeight - (field.bottom - field.top)));
  state.list = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kListClass, L"", WS_POPUP | WS_BORDER, field.left,
                               field.bottom, field.right - field.left, listHeight, TopLevelOf(combo), nullptr, nullptr,
                               nullptr);
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

LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND combo = ControlState<ListState>(hwnd).combo;
  std::shared_ptr<void> stored = combo ? GetWindowAttachment(combo, "control") : nullptr;
  if (!stored) return DefWindowProcW(hwnd, message, wParam, lParam);
  auto& state = *static_cast<ComboState*>(stored.get());
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(hwnd, &paint);
      RECT client = ClientRect(hwnd);
      FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
      FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME));
      HGDIOBJ old = SelectObject(dc, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(dc, TRANSPARENT);
      int height = RowHeight(state);
      for (int i = 0; i < ItemCount(state); ++i) {
        RECT row{1, 1 + i * height, client.right - 1, 1 + (i + 1) * height};
        bool current = i == state.current;
        if (current) FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(current ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        row.left += 2;
        DrawTextW(dc, state.items[static_cast<size_t>(i)].text.c_str(), -1, &row,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      }
      SelectObject(dc, old);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_MOUSEACTIVATE: return 3;  // MA_NOACTIVATE: the combo keeps the focus
    case WM_LBUTTONUP: {
      int index = (GET_Y_LPARAM(lParam) - 1) / std::max(1, RowHeight(state));
      if (index >= 0 && index < ItemCount(state)) PostMessageW(combo, kPickFromList, static_cast<WPARAM>(index), 0);
      return 0;
    }
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
    case WM_KEYDOWN:
      switch (wParam) {
        case VK_F4: SetDropped(hwnd, state, !state.dropped, true); break;
        case VK_DOWN: MoveSelection(hwnd, state, 1); break;
        case VK_UP: MoveSelection(hwnd, state, -1); break;
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
    case CB_RESETCONTENT: state.items.clear(); Select(hwnd, state, -1); return 0;
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

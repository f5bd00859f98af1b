// List views as a plain column of rows with single selection; clicks and
// right clicks are reported with NM_CLICK, NM_DBLCLK and NM_RCLICK.
#include <algorithm>
#include <vector>

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiText.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/SysColors.h"
#include "platform/win/controls/ControlSupport.h"

namespace vqplatform {
namespace {

struct ListRow {
  std::wstring text;
  LPARAM data = 0;
  UINT state = 0;
  int image = -1;
};

struct ListState : ControlBase {
  std::vector<ListRow> rows;
};

int Count(const ListState& state) { return static_cast<int>(state.rows.size()); }

int RowHeight(HWND hwnd, const ListState& state) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return metrics.tmHeight + 4;
}

RECT RowRect(HWND hwnd, const ListState& state, int index) {
  RECT client = ClientRect(hwnd);
  int height = RowHeight(hwnd, state);
  return RECT{client.left + 2, client.top + 2 + index * height, client.right - 2, client.top + 2 + (index + 1) * height};
}

int HitTest(HWND hwnd, const ListState& state, POINT point) {
  for (int i = 0; i < Count(state); ++i) {
    RECT row = RowRect(hwnd, state, i);
    if (PtInRect(&row, point)) return i;
  }
  return -1;
}

void SetRowState(HWND hwnd, ListState& state, int index, UINT value, UINT mask) {
  auto apply = [&](ListRow& row) { row.state = (row.state & ~mask) | (value & mask); };
  if (index < 0) {
    for (ListRow& row : state.rows) apply(row);
  } else if (index < Count(state)) {
    if ((mask & LVIS_SELECTED) && (value & LVIS_SELECTED) && (ControlStyle(hwnd) & LVS_SINGLESEL))
      for (ListRow& row : state.rows) row.state &= ~LVIS_SELECTED;
    apply(state.rows[static_cast<size_t>(index)]);
  }
  InvalidateRect(hwnd, nullptr, TRUE);
}

void Activate(HWND hwnd, ListState& state, LPARAM lParam, UINT code) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  int hit = HitTest(hwnd, state, point);
  SetFocus(hwnd);
  for (ListRow& row : state.rows) row.state &= ~(LVIS_SELECTED | LVIS_FOCUSED);
  if (hit >= 0) state.rows[static_cast<size_t>(hit)].state |= LVIS_SELECTED | LVIS_FOCUSED;
  InvalidateRect(hwnd, nullptr, TRUE);
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  NMITEMACTIVATE record{};
  record.hdr = NMHDR{hwnd, static_cast<UINT_PTR>(ControlId(hwnd)), code};
  record.iItem = hit;
  record.ptAction = point;
  SendMessageW(parent, WM_NOTIFY, static_cast<WPARAM>(ControlId(hwnd)), reinterpret_cast<LPARAM>(&record));
}

void CopyText(const std::wstring& text, LVITEMW* item) {
  if (!item->pszText || item->cchTextMax <= 0) return;
  size_t count = std::min(text.size(), static_cast<size_t>(item->cchTextMax - 1));
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(count), item->pszText);
  item->pszText[count] = 0;
}

void Paint(HWND hwnd, ListState& state) {
  PaintControl(hwnd, state, WM_CTLCOLOREDIT, [&](HDC dc, const RECT& client) {
    RECT frame = client;
    DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
    for (int i = 0; i < Count(state); ++i) {
      const ListRow& row = state.rows[static_cast<size_t>(i)];
      RECT rect = RowRect(hwnd, state, i);
      bool selected = (row.state & LVIS_SELECTED) != 0;
      if (selected) FillRect(dc, &rect, GetSysColorBrush(COLOR_HIGHLIGHT));
      SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
      RECT text = rect;
      text.left += 4;
      DrawTextW(dc, row.text.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
  });
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ListState& state = ControlState<ListState>(hwnd);
  switch (message) {
    case WM_PAINT: Paint(hwnd, state); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: Activate(hwnd, state, lParam, NM_CLICK); return 0;
    case WM_LBUTTONDBLCLK: Activate(hwnd, state, lParam, NM_DBLCLK); return 0;
    case WM_RBUTTONDOWN: Activate(hwnd, state, lParam, NM_RCLICK); return 0;
    case LVM_GETITEMCOUNT: return Count(state);
    case LVM_INSERTITEMW: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item) return -1;
      int at = std::clamp(item->iItem, 0, Count(state));
      ListRow row;
      if ((item->mask & LVIF_TEXT) && item->pszText) row.text = item->pszText;
      if (item->mask & LVIF_PARAM) row.data = item->lParam;
      if (item->mask & LVIF_IMAGE) row.image = item->iImage;
      if (item->mask & LVIF_STATE) row.state = item->state & item->stateMask;
      state.rows.insert(state.rows.begin() + at, row);
      InvalidateRect(hwnd, nullptr, TRUE);
      return at;
    }
    case LVM_SETITEMW:
    case LVM_GETITEMW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (!item || item->iItem < 0 || item->iItem >= Count(state)) return FALSE;
      ListRow& row = state.rows[static_cast<size_t>(item->iItem)];
      if (message == LVM_GETITEMW) {
        if (item->mask & LVIF_TEXT) CopyText(row.text, item);
        if (item->mask & LVIF_PARAM) item->lParam = row.data;
        if (item->mask & LVIF_IMAGE) item->iImage = row.image;
        if (item->mask & LVIF_STATE) item->state = row.state & item->stateMask;
        return TRUE;
      }
      if ((item->mask & LVIF_TEXT) && item->pszText && item->iSubItem == 0) row.text = item->pszText;
      if (item->mask & LVIF_PARAM) row.data = item->lParam;
      if (item->mask & LVIF_IMAGE) row.image = item->iImage;
      if (item->mask & LVIF_STATE) row.state = (row.state & ~item->stateMask) | (item->state & item->stateMask);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case LVM_GETITEMTEXTW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      auto at = static_cast<int>(wParam);
      if (!item || at < 0 || at >= Count(state)) return 0;
      CopyText(state.rows[static_cast<size_t>(at)].text, item);
      return static_cast<LRESULT>(std::min<size_t>(state.rows[static_cast<size_t>(at)].text.size(),
                                                   static_cast<size_t>(std::max(0, item->cchTextMax - 1))));
    }
    case LVM_DELETEITEM: {
      auto at = static_cast<int>(wParam);
      if (at < 0 || at >= Count(state)) return FALSE;
      state.rows.erase(state.rows.begin() + at);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case LVM_DELETEALLITEMS: state.rows.clear(); InvalidateRect(hwnd, nullptr, TRUE); return TRUE;
    case LVM_GETNEXTITEM: {
      auto start = static_cast<int>(static_cast<INT_PTR>(wParam));
      for (int i = std::max(0, start + 1); i < Count(state); ++i)
        if (!(lParam & LVNI_SELECTED) || (state.rows[static_cast<size_t>(i)].state & LVIS_SELECTED)) return i;
      return -1;
    }
    case LVM_SETITEMSTATE: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item) return FALSE;
      SetRowState(hwnd, state, static_cast<int>(static_cast<INT_PTR>(wParam)), item->state, item->stateMask);
      return TRUE;
    }
    case LVM_GETITEMSTATE: {
      auto at = static_cast<int>(wParam);
      if (at < 0 || at >= Count(state)) return 0;
      return state.rows[static_cast<size_t>(at)].state & static_cast<UINT>(lParam);
    }
    case LVM_GETITEMRECT: {
      auto at = static_cast<int>(wParam);
      if (at < 0 || at >= Count(state) || !lParam) return FALSE;
      *reinterpret_cast<RECT*>(lParam) = RowRect(hwnd, state, at);
      return TRUE;
    }
    default: break;
  }
  LRESULT result = 0;
  if (HandleCommonMessage(hwnd, state, message, wParam, lParam, &result)) return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void RegisterListViewClass() { RegisterControlClass(WC_LISTVIEW, ListProc); }

}  // namespace vqplatform

// List views as a plain column of rows with single selection, or in icon
// view with a normal image list as a grid of cells (picture above its
// text); clicks and right clicks are reported with NM_CLICK, NM_DBLCLK and
// NM_RCLICK. The view scrolls by whole pixels (EnsureVisible, the wheel).
#include <algorithm>
#include <vector>

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiRegion.h"
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

struct ListColumn {
  std::wstring text;
  int width = 0;
  int format = LVCFMT_LEFT;
};

struct ListState : ControlBase {
  std::vector<ListRow> rows;
  std::vector<ListColumn> columns;
  HIMAGELIST normalImages = nullptr;
  HIMAGELIST smallImages = nullptr;
  int scroll = 0;  // pixels of the content above the client area
};

int Count(const ListState& state) { return static_cast<int>(state.rows.size()); }

// Cells in icon view; {0, 0} when the list shows rows.
SIZE IconCell(HWND hwnd, const ListState& state, int textHeight) {
  int width = 0, height = 0;
  if ((ControlStyle(hwnd) & LVS_TYPEMASK) != LVS_ICON || !ImageList_GetIconSize(state.normalImages, &width, &height))
    return SIZE{0, 0};
  return SIZE{width + 16, height + textHeight + 12};
}

int TextHeight(HWND hwnd, const ListState& state) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return metrics.tmHeight;
}

// The item's row or cell in client coordinates, scrolled.
RECT RowRect(HWND hwnd, const ListState& state, int index) {
  RECT client = ClientRect(hwnd);
  const int textHeight = TextHeight(hwnd, state);
  const SIZE cell = IconCell(hwnd, state, textHeight);
  const int top = client.top + 2 - state.scroll;
  if (cell.cx == 0) {
    const int height = textHeight + 4;
    return RECT{client.left + 2, top + index * height, client.right - 2, top + (index + 1) * height};
  }
  const int perRow = std::max(1, static_cast<int>((client.right - client.left - 4) / cell.cx));
  const int left = client.left + 2 + (index % perRow) * cell.cx, cellTop = top + (index / perRow) * cell.cy;
  return RECT{left, cellTop, left + cell.cx, cellTop + cell.cy};
}

// Keeps the scroll within the content.
void ClampScroll(HWND hwnd, ListState& state) {
  RECT client = ClientRect(hwnd);
  int contentBottom = 0;
  if (Count(state) > 0) contentBottom = RowRect(hwnd, state, Count(state) - 1).bottom + state.scroll + 2;
  state.scroll = std::clamp(state.scroll, 0, std::max(0, static_cast<int>(contentBottom - client.bottom)));
}

BOOL EnsureVisible(HWND hwnd, ListState& state, int index, bool partialOk) {
  if (index < 0 || index >= Count(state)) return FALSE;
  RECT client = ClientRect(hwnd), item = RowRect(hwnd, state, index);
  const int top = client.top + 2, bottom = client.bottom - 2;
  const bool partlyShown = item.bottom > top && item.top < bottom;
  if (item.top < top && !(partialOk && partlyShown)) state.scroll -= top - item.top;
  else if (item.bottom > bottom && !(partialOk && partlyShown)) state.scroll += item.bottom - bottom;
  ClampScroll(hwnd, state);
  InvalidateRect(hwnd, nullptr, TRUE);
  return TRUE;
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
    RECT inside = client;
    InflateRect(&inside, -2, -2);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, inside.left, inside.top, inside.right, inside.bottom);
    const int textHeight = TextHeight(hwnd, state);
    const bool icons = IconCell(hwnd, state, textHeight).cx > 0;
    for (int i = 0; i < Count(state); ++i) {
      const ListRow& row = state.rows[static_cast<size_t>(i)];
      RECT rect = RowRect(hwnd, state, i);
      if (rect.bottom <= inside.top || rect.top >= inside.bottom) continue;
      bool selected = (row.state & LVIS_SELECTED) != 0;
      RECT text = rect;
      if (icons) {
        int width = 0, height = 0;
        ImageList_GetIconSize(state.normalImages, &width, &height);
        const int x = (rect.left + rect.right - width) / 2, y = rect.top + 4;
        ImageList_Draw(state.normalImages, row.image, dc, x, y, ILD_NORMAL);
        if (selected) {
          RECT frame{x - 2, y - 2, x + width + 2, y + height + 2};
          FrameRect(dc, &frame, GetSysColorBrush(COLOR_HIGHLIGHT));
        }
        text = RECT{rect.left + 2, y + height + 4, rect.right - 2, y + height + 4 + textHeight};
      } else {
        text.left += 4;
      }
      if (selected) FillRect(dc, icons ? &text : &rect, GetSysColorBrush(COLOR_HIGHLIGHT));
      SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
      const UINT align = icons ? DT_CENTER | DT_END_ELLIPSIS : DT_LEFT;
      DrawTextW(dc, row.text.c_str(), -1, &text, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    RestoreDC(dc, saved);
  });
}

LRESULT InsertColumn(ListState& state, int at, const LVCOLUMNW* column) {
  if (!column) return -1;
  ListColumn entry;
  if ((column->mask & LVCF_TEXT) && column->pszText) entry.text = column->pszText;
  if (column->mask & LVCF_WIDTH) entry.width = column->cx;
  if (column->mask & LVCF_FMT) entry.format = column->fmt;
  at = std::clamp(at, 0, static_cast<int>(state.columns.size()));
  state.columns.insert(state.columns.begin() + at, entry);
  return at;
}

LRESULT GetColumn(const ListState& state, int at, LVCOLUMNW* column) {
  if (!column || at < 0 || at >= static_cast<int>(state.columns.size())) return FALSE;
  const ListColumn& entry = state.columns[static_cast<size_t>(at)];
  if ((column->mask & LVCF_TEXT) && column->pszText && column->cchTextMax > 0) {
    size_t count = std::min(entry.text.size(), static_cast<size_t>(column->cchTextMax - 1));
    std::copy(entry.text.begin(), entry.text.begin() + static_cast<std::ptrdiff_t>(count), column->pszText);
    column->pszText[count] = 0;
  }
  if (column->mask & LVCF_WIDTH) column->cx = entry.width;
  if (column->mask & LVCF_FMT) column->fmt = entry.format;
  return TRUE;
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
      ClampScroll(hwnd, state);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case LVM_DELETEALLITEMS:
      state.rows.clear();
      state.scroll = 0;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case LVM_SETIMAGELIST: {
      HIMAGELIST& slot = wParam == LVSIL_NORMAL ? state.normalImages : state.smallImages;
      HIMAGELIST previous = slot;
      slot = reinterpret_cast<HIMAGELIST>(lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(previous);
    }
    case LVM_GETIMAGELIST:
      return reinterpret_cast<LRESULT>(wParam == LVSIL_NORMAL ? state.normalImages : state.smallImages);
    case LVM_INSERTCOLUMNW: return InsertColumn(state, static_cast<int>(wParam), reinterpret_cast<const LVCOLUMNW*>(lParam));
    case LVM_GETCOLUMNW: return GetColumn(state, static_cast<int>(wParam), reinterpret_cast<LVCOLUMNW*>(lParam));
    case LVM_ENSUREVISIBLE: return EnsureVisible(hwnd, state, static_cast<int>(wParam), lParam != 0);
    case WM_MOUSEWHEEL: {
      const int notches = static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA;
      RECT first = RowRect(hwnd, state, 0);
      state.scroll -= notches * static_cast<int>(first.bottom - first.top);
      ClampScroll(hwnd, state);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
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

// The layer's popup menu: a pop-up window with one row per item, tracked
// in a loop of its own.
#include <algorithm>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/win/Dialog.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/GdiText.h"
#include "platform/win/InputFocus.h"
#include "platform/win/Menu.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/SysColors.h"
#include "platform/win/Window.h"

namespace vqplatform {
namespace {

constexpr wchar_t kMenuClass[] = L"#32768";
constexpr int kSeparatorHeight = 7;

struct Row {
  std::wstring text;
  UINT id;
  UINT state;
  RECT rect;
  int indent = 0;  // items of a sub-menu follow its row, indented
};

struct Tracking {
  std::vector<Row> rows;
  HFONT font = nullptr;
  int hot = -1;
  bool done = false;
  UINT chosen = 0;
};

bool Selectable(const Row& row) { return !(row.state & (MF_SEPARATOR | MF_GRAYED | MF_DISABLED | MF_POPUP)); }

Tracking* TrackingOf(HWND hwnd) { return reinterpret_cast<Tracking*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

int RowAt(const Tracking& tracking, POINT point) {
  for (size_t i = 0; i < tracking.rows.size(); ++i)
    if (PtInRect(&tracking.rows[i].rect, point)) return static_cast<int>(i);
  return -1;
}

void SetHot(HWND hwnd, Tracking& tracking, int hot) {
  if (hot == tracking.hot) return;
  tracking.hot = hot;
  InvalidateRect(hwnd, nullptr, TRUE);
}

void Finish(Tracking& tracking, int row) {
  tracking.done = true;
  tracking.chosen = row >= 0 && Selectable(tracking.rows[static_cast<size_t>(row)]) ? tracking.rows[static_cast<size_t>(row)].id : 0;
}

void MoveHot(HWND hwnd, Tracking& tracking, int step) {
  int count = static_cast<int>(tracking.rows.size());
  int at = tracking.hot >= 0 ? tracking.hot : (step > 0 ? -1 : count);
  for (int i = 0; i < count; ++i) {
    at = (at + step + count) % count;
    if (Selectable(tracking.rows[static_cast<size_t>(at)])) {
      SetHot(hwnd, tracking, at);
      return;
    }
  }
}

void Paint(HWND hwnd, Tracking& tracking) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd, &paint);
  RECT client{};
  GetClientRect(hwnd, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_MENU));
  RECT frame = client;
  DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
  HGDIOBJ old = SelectObject(dc, tracking.font);
  SetBkMode(dc, TRANSPARENT);
  for (size_t i = 0; i < tracking.rows.size(); ++i) {
    const Row& row = tracking.rows[i];
    RECT rect = row.rect;
    if (row.state & MF_SEPARATOR) {
      RECT line{rect.left + 1, (rect.top + rect.bottom) / 2 - 1, rect.right - 1, (rect.top + rect.bottom) / 2 + 1};
      DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
      continue;
    }
    bool hot = static_cast<int>(i) == tracking.hot;
    if (hot) FillRect(dc, &rect, GetSysColorBrush(COLOR_HIGHLIGHT));
    bool disabled = (row.state & (MF_GRAYED | MF_DISABLED)) != 0;
    SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    RECT text = rect;
    text.left += 20 + row.indent;
    DrawTextW(dc, row.text.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS);
    if (row.state & MF_CHECKED) {
      RECT mark{rect.left + 2, rect.top, rect.left + 18, rect.bottom};
      DrawFrameControl(dc, &mark, DFC_MENU, DFCS_MENUCHECK);
    }
  }
  SelectObject(dc, old);
  EndPaint(hwnd, &paint);
}

LRESULT CALLBACK MenuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Tracking* tracking = TrackingOf(hwnd);
  if (!tracking) return DefWindowProcW(hwnd, message, wParam, lParam);
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_PAINT: Paint(hwnd, *tracking); return 0;
    case WM_MOUSEMOVE: SetHot(hwnd, *tracking, RowAt(*tracking, point)); return 0;
    case WM_LBUTTONUP: {
      int row = RowAt(*tracking, point);
      if (row >= 0 && Selectable(tracking->rows[static_cast<size_t>(row)])) Finish(*tracking, row);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_DOWN) MoveHot(hwnd, *tracking, 1);
      if (wParam == VK_UP) MoveHot(hwnd, *tracking, -1);
      if (wParam == VK_RETURN) Finish(*tracking, tracking->hot);
      if (wParam == VK_ESCAPE) Finish(*tracking, -1);
      return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void RegisterMenuClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSW windowClass{};
    windowClass.style = CS_GLOBALCLASS | CS_SAVEBITS;
    windowClass.lpfnWndProc = MenuProc;
    windowClass.lpszClassName = kMenuClass;
    RegisterClassW(&windowClass);
  });
}

// Rows laid out with the menu font; the menu's size in *size.
std::vector<Row> LayOut(HMENU menu, HFONT font, SIZE* size) {
  std::vector<Row> rows;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  int width = 80, y = 3;
  // A sub-menu is shown open: its items follow its row, indented.
  std::function<void(HMENU, int)> add = [&](HMENU from, int indent) {
    for (int i = 0; i < GetMenuItemCount(from); ++i) {
      wchar_t text[256] = {};
      GetMenuStringW(from, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
      UINT state = GetMenuState(from, static_cast<UINT>(i), MF_BYPOSITION);
      SIZE extent{0, 0};
      std::wstring label = text;
      if (!label.empty()) GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &extent);
      width = std::max<int>(width, extent.cx + 40 + indent);
      int height = (state & MF_SEPARATOR) ? kSeparatorHeight : metrics.tmHeight + 6;
      rows.push_back(Row{label, GetMenuItemID(from, i), state, RECT{3, y, 0, y + height}, indent});
      y += height;
      if (HMENU sub = GetSubMenu(from, i)) add(sub, indent + 16);
    }
  };
  add(menu, 0);
  SelectObject(dc, old);
  DeleteDC(dc);
  for (Row& row : rows) row.rect.right = width - 3;
  *size = SIZE{width, y + 3};
  return rows;
}

}  // namespace

UINT RunPopupMenu(HMENU menu, int x, int y, HWND owner) {
  if (GetMenuItemCount(menu) <= 0) return 0;
  RegisterMenuClass();
  Tracking tracking;
  tracking.font = CreateDialogFont(L"MS Shell Dlg", 9);
  SIZE size{};
  tracking.rows = LayOut(menu, tracking.font, &size);
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kMenuClass, L"", WS_POPUP, x, y, size.cx, size.cy,
                                owner, nullptr, nullptr, nullptr);
  if (!window) {
    DeleteObject(tracking.font);
    return 0;
  }
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&tracking));
  HWND previousFocus = GetFocus();
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  SetFocus(window);
  bool dismissed = false;
  ModalLoop loop;
  loop.done = [&] { return tracking.done || dismissed || !IsWindow(window); };
  loop.preTranslate = [&](MSG* msg) {
    // A click outside dismisses the menu; keys go to the menu.
    dismissed = (msg->message == WM_LBUTTONDOWN || msg->message == WM_RBUTTONDOWN) && msg->hwnd != window;
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) msg->hwnd = window;
    return dismissed;
  };
  loop.idle = [&] {
    ModalIdleHandler handler = CurrentModalIdleHandler();
    if (!handler) return false;
    handler(window);
    MSG next;
    dismissed = !PeekMessageW(&next, nullptr, 0, 0, PM_NOREMOVE);  // the driver has nothing more
    return true;
  };
  RunModalLoop(loop);
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
  DeleteObject(tracking.font);
  if (previousFocus && IsWindow(previousFocus)) SetFocus(previousFocus);
  return tracking.done ? tracking.chosen : 0;
}

}  // namespace vqplatform

// Single- and multi-line edits, with the read-only and digits-only styles.
#include <algorithm>

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

struct EditState : ControlBase {
  int selStart = 0;
  int selEnd = 0;
  size_t limit = 30000;
  bool modified = false;
  bool focused = false;
};

bool HasStyle(HWND hwnd, DWORD style) { return (ControlStyle(hwnd) & style) != 0; }

void Changed(HWND hwnd) {
  InvalidateRect(hwnd, nullptr, TRUE);
  NotifyCommand(hwnd, EN_UPDATE);
  NotifyCommand(hwnd, EN_CHANGE);
}

void StoreText(HWND hwnd, const std::wstring& text) { DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())); }

// Replaces the selection with `insert` (cut to the limit); false when
// nothing changed.
bool ReplaceSelection(HWND hwnd, EditState& state, std::wstring insert) {
  std::wstring text = WindowText(hwnd);
  int length = static_cast<int>(text.size());
  int from = std::clamp(std::min(state.selStart, state.selEnd), 0, length);
  int to = std::clamp(std::max(state.selStart, state.selEnd), 0, length);
  size_t room = state.limit > text.size() - static_cast<size_t>(to - from)
                    ? state.limit - (text.size() - static_cast<size_t>(to - from))
                    : 0;
  if (insert.size() > room) {
    insert.resize(room);
    NotifyCommand(hwnd, EN_MAXTEXT);
  }
  if (insert.empty() && from == to) return false;
  text.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), insert);
  StoreText(hwnd, text);
  state.selStart = state.selEnd = from + static_cast<int>(insert.size());
  state.modified = true;
  return true;
}

bool AcceptsChar(HWND hwnd, wchar_t ch) {
  if (HasStyle(hwnd, ES_NUMBER)) return ch >= L'0' && ch <= L'9';
  return ch >= 0x20 || ch == L'\t';
}

void OnChar(HWND hwnd, EditState& state, wchar_t ch) {
  if (HasStyle(hwnd, ES_READONLY)) return;
  std::wstring insert;
  if (ch == VK_BACK) {
    if (state.selStart == state.selEnd && state.selStart > 0) {
      std::wstring text = WindowText(hwnd);
      int back = state.selStart >= 2 && text.compare(static_cast<size_t>(state.selStart - 2), 2, L"\r\n") == 0 ? 2 : 1;
      state.selStart -= back;
    }
  } else if (ch == L'\r') {
    if (!HasStyle(hwnd, ES_MULTILINE)) return;
    insert = L"\r\n";
  } else if (ch == L'\t' && !HasStyle(hwnd, ES_MULTILINE)) {
    return;
  } else if (!AcceptsChar(hwnd, ch)) {
    return;
  } else {
    insert.assign(1, ch);
    if (HasStyle(hwnd, ES_UPPERCASE)) insert[0] = static_cast<wchar_t>(towupper(ch));
    if (HasStyle(hwnd, ES_LOWERCASE)) insert[0] = static_cast<wchar_t>(towlower(ch));
  }
  if (ReplaceSelection(hwnd, state, insert)) Changed(hwnd);
}

void OnKeyDown(HWND hwnd, EditState& state, WPARAM key) {
  int length = GetWindowTextLengthW(hwnd);
  int caret = state.selEnd;
  switch (key) {
    case VK_LEFT: caret = std::max(0, caret - 1); break;
    case VK_RIGHT: caret = std::min(length, caret + 1); break;
    case VK_HOME: caret = 0; break;
    case VK_END: caret = length; break;
    case VK_DELETE:
      if (HasStyle(hwnd, ES_READONLY)) return;
      if (state.selStart == state.selEnd) state.selEnd = std::min(length, state.selEnd + 1);
      if (ReplaceSelection(hwnd, state, L"")) Changed(hwnd);
      return;
    default: return;
  }
  if (GetKeyState(VK_SHIFT) < 0) {
    state.selEnd = caret;
  } else {
    state.selStart = state.selEnd = caret;
  }
  InvalidateRect(hwnd, nullptr, TRUE);
}

// Where the text goes: inside the edges, with a small margin.
RECT TextArea(HWND hwnd) {
  RECT area = ClientRect(hwnd);
  DWORD exStyle = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE));
  if (exStyle & WS_EX_CLIENTEDGE)
    InflateRect(&area, -2, -2);
  else if (HasStyle(hwnd, WS_BORDER))
    InflateRect(&area, -1, -1);
  InflateRect(&area, -2, -1);
  return area;
}

// Single-line, left-aligned edits show their selection and place the caret
// where they are clicked.
bool IsPlainLine(HWND hwnd) { return !HasStyle(hwnd, ES_MULTILINE | ES_CENTER | ES_RIGHT | ES_PASSWORD); }

int PrefixWidth(HDC dc, const std::wstring& text, int count) {
  SIZE extent{0, 0};
  if (count > 0) GetTextExtentPoint32W(dc, text.c_str(), count, &extent);
  return extent.cx;
}

int CaretAt(HWND hwnd, const EditState& state, int x) {
  std::wstring text = WindowText(hwnd);
  if (!IsPlainLine(hwnd) || text.empty()) return static_cast<int>(text.size());
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
  int offset = x - TextArea(hwnd).left, best = 0, bestDistance = offset < 0 ? -offset : offset;
  for (int i = 1; i <= static_cast<int>(text.size()); ++i) {
    int distance = PrefixWidth(dc, text, i) - offset;
    if (distance < 0) distance = -distance;
    if (distance < bestDistance) best = i, bestDistance = distance;
  }
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return best;
}

void Paint(HWND hwnd, EditState& state) {
  bool readOnly = HasStyle(hwnd, ES_READONLY) || !IsWindowEnabled(hwnd);
  PaintControl(hwnd, state, readOnly ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT, [&](HDC dc, const RECT& client) {
    RECT frame = client;
    DWORD exStyle = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE));
    if (exStyle & WS_EX_CLIENTEDGE)
      DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
    else if (HasStyle(hwnd, WS_BORDER))
      FrameRect(dc, &frame, GetSysColorBrush(COLOR_WINDOWFRAME));
    RECT area = TextArea(hwnd);
    std::wstring text = WindowText(hwnd);
    if (HasStyle(hwnd, ES_PASSWORD)) text.assign(text.size(), L'*');
    SetTextColor(dc, GetSysColor(IsWindowEnabled(hwnd) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    UINT format = DT_NOPREFIX | DT_EXPANDTABS;
    if (HasStyle(hwnd, ES_MULTILINE)) {
      format |= DT_WORDBREAK | DT_TOP;
    } else {
      format |= DT_SINGLELINE | DT_VCENTER;
    }
    if (HasStyle(hwnd, ES_CENTER)) format |= DT_CENTER;
    else if (HasStyle(hwnd, ES_RIGHT)) format |= DT_RIGHT;
    DrawTextW(dc, text.c_str(), -1, &area, format);
    int from = std::clamp(std::min(state.selStart, state.selEnd), 0, static_cast<int>(text.size()));
    int to = std::clamp(std::max(state.selStart, state.selEnd), 0, static_cast<int>(text.size()));
    if (state.focused && IsPlainLine(hwnd) && from < to) {
      RECT selected{area.left + PrefixWidth(dc, text, from), area.top, area.left + PrefixWidth(dc, text, to), area.bottom};
      IntersectRect(&selected, &selected, &area);
      FillRect(dc, &selected, GetSysColorBrush(COLOR_HIGHLIGHT));
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      RECT part{selected.left, area.top, area.right, area.bottom};
      DrawTextW(dc, text.c_str() + from, to - from, &part, format);
      return;
    }
    if (state.focused && !HasStyle(hwnd, ES_MULTILINE) && !HasStyle(hwnd, ES_READONLY)) {
      SIZE before{0, 0};
      int caret = std::clamp(state.selEnd, 0, static_cast<int>(text.size()));
      if (caret > 0) GetTextExtentPoint32W(dc, text.c_str(), caret, &before);
      TEXTMETRICW metrics{};
      GetTextMetricsW(dc, &metrics);
      int top = area.top + (area.bottom - area.top - metrics.tmHeight) / 2;
      RECT bar{area.left + before.cx, top, area.left + before.cx + 1, top + metrics.tmHeight};
      FillRect(dc, &bar, GetSysColorBrush(COLOR_WINDOWTEXT));
    }
  });
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  EditState& state = ControlState<EditState>(hwnd);
  switch (message) {
    case WM_SETTEXT: {
      std::wstring text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
      if (text.size() > state.limit) text.resize(state.limit);
      StoreText(hwnd, text);
      state.selStart = state.selEnd = 0;
      state.modified = false;
      Changed(hwnd);
      return TRUE;
    }
    case WM_PAINT: Paint(hwnd, state); return 0;
    case WM_GETDLGCODE: {
      // Tab and Esc always stay the dialog's (the next control, cancel);
      // Return is the edit's only in a multi-line edit with ES_WANTRETURN,
      // else it presses the default button.
      LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
      const auto* msg = reinterpret_cast<const MSG*>(lParam);
      const bool isReturn = msg && (((msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && msg->wParam == VK_RETURN) ||
                                    (msg->message == WM_CHAR && msg->wParam == L'\r'));
      if (isReturn && HasStyle(hwnd, ES_MULTILINE) && HasStyle(hwnd, ES_WANTRETURN)) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_CHAR: OnChar(hwnd, state, static_cast<wchar_t>(wParam)); return 0;
    case WM_KEYDOWN: OnKeyDown(hwnd, state, wParam); return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      state.selStart = state.selEnd = CaretAt(hwnd, state, GET_X_LPARAM(lParam));
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_SETFOCUS:
      state.focused = true;
      InvalidateRect(hwnd, nullptr, TRUE);
      NotifyCommand(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      state.focused = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      NotifyCommand(hwnd, EN_KILLFOCUS);
      return 0;
    case EM_GETSEL: {
      auto* start = reinterpret_cast<DWORD*>(wParam);
      auto* end = reinterpret_cast<DWORD*>(lParam);
      int from = std::min(state.selStart, state.selEnd), to = std::max(state.selStart, state.selEnd);
      if (start) *start = static_cast<DWORD>(from);
      if (end) *end = static_cast<DWORD>(to);
      return MAKELRESULT(from, to);
    }
    case EM_SETSEL: {
      int length = GetWindowTextLengthW(hwnd);
      auto start = static_cast<int>(static_cast<INT_PTR>(wParam));
      auto end = static_cast<int>(lParam);
      if (start < 0) {
        state.selStart = state.selEnd = std::clamp(state.selEnd, 0, length);
      } else {
        state.selStart = std::min(start, length);
        state.selEnd = end < 0 ? length : std::min(end, length);
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case EM_REPLACESEL:
      if (ReplaceSelection(hwnd, state, lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"")) Changed(hwnd);
      return 0;
    case EM_LIMITTEXT: state.limit = wParam ? static_cast<size_t>(wParam) : 0x7FFFFFFE; return 0;
    case EM_SETREADONLY: {
      LONG style = GetWindowLongW(hwnd, GWL_STYLE);
      SetWindowLongW(hwnd, GWL_STYLE, wParam ? (style | ES_READONLY) : (style & ~ES_READONLY));
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case EM_GETMODIFY: return state.modified ? TRUE : FALSE;
    case EM_SETMODIFY: state.modified = wParam != 0; return 0;
    case EM_GETLINECOUNT: {
      std::wstring text = WindowText(hwnd);
      LRESULT lines = 1;
      for (size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 1)) ++lines;
      return lines;
    }
    default: break;
  }
  LRESULT result = 0;
  if (HandleCommonMessage(hwnd, state, message, wParam, lParam, &result)) return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void RegisterEditClass() { RegisterControlClass(WC_EDIT, EditProc); }

}  // namespace vqplatform

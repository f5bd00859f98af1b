#include "tests/ui/LayoutCheck.h"

#include "platform/win/Controls.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiText.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/Window.h"

namespace vqtest {
namespace {

struct Control {
  HWND hwnd;
  RECT field;  // in the dialog's client area; a combo box without its list
  std::wstring className;
  std::wstring text;
  DWORD kind;  // the button type
};

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t ch : text) narrow += ch < 0x80 ? static_cast<char>(ch) : '?';
  return narrow;
}

std::string Name(const Control& c) { return std::to_string(GetDlgCtrlID(c.hwnd)) + " \"" + Narrow(c.text) + "\""; }

// Width and line height of a text in the control's font.
SIZE TextSize(HWND control, const std::wstring& text) {
  SIZE size{0, 0};
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  if (!text.empty()) GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  size.cy = metrics.tmHeight;
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size;
}

// What the layer's controls draw beside their text (the 13-pixel mark and
// its gap, push-button and group-box edges, the list's arrow); -1: no text.
int Allowance(const Control& c) {
  if (c.className == WC_STATIC) return 0;
  if (c.className == WC_COMBOBOX) return 22;
  if (c.className != WC_BUTTON) return -1;
  if (c.kind == BS_GROUPBOX) return 14;
  return c.kind == BS_PUSHBUTTON || c.kind == BS_DEFPUSHBUTTON ? 8 : 18;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right && inner.bottom <= outer.bottom;
}

}  // namespace

std::vector<std::string> LayoutProblems(HWND dialog) {
  std::vector<std::string> problems;
  RECT client{};
  GetClientRect(dialog, &client);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  std::vector<Control> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    wchar_t name[64] = {}, text[256] = {};
    GetClassNameW(child, name, 64);
    GetWindowTextW(child, text, 256);
    Control c{child, {}, name, text, static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK)};
    GetWindowRect(child, &c.field);
    OffsetRect(&c.field, -origin.x, -origin.y);
    if (c.className == WC_COMBOBOX) c.field.bottom = c.field.top + TextSize(child, L"").cy + 6;
    controls.push_back(c);
  }
  for (const Control& c : controls) {
    if (!Inside(c.field, client)) problems.push_back(Name(c) + " reaches outside");
    std::vector<std::wstring> texts{c.text};
    if (c.className == WC_COMBOBOX) {
      texts.clear();
      for (int i = 0; i < static_cast<int>(SendMessageW(c.hwnd, CB_GETCOUNT, 0, 0)); ++i) {
        wchar_t item[256] = {};
        SendMessageW(c.hwnd, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        texts.push_back(item);
      }
    }
    int allowance = Allowance(c);
    for (const std::wstring& text : texts)
      if (allowance >= 0 && TextSize(c.hwnd, text).cx > c.field.right - c.field.left - allowance)
        problems.push_back(Name(c) + " clips \"" + Narrow(text) + "\"");
  }
  auto isGroup = [](const Control& c) { return c.className == WC_BUTTON && c.kind == BS_GROUPBOX; };
  for (size_t i = 0; i < controls.size(); ++i)
    for (size_t j = i + 1; j < controls.size(); ++j) {
      const Control &a = controls[i], &b = controls[j];
      RECT overlap{};
      if (!IntersectRect(&overlap, &a.field, &b.field)) continue;
      if ((isGroup(a) && Inside(b.field, a.field)) || (isGroup(b) && Inside(a.field, b.field))) continue;
      problems.push_back(Name(a) + " overlaps " + Name(b));
    }
  return problems;
}

}  // namespace vqtest

#include "tests/ui/LayoutCheck.h"

#include <algorithm>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiText.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/Window.h"

namespace vqtest {
namespace {

// What the layer's controls draw beside their text: the 13-pixel mark and
// its gap, the edges of push buttons and group boxes, the list's arrow.
constexpr int kMarkSpace = 13 + 4 + 1;
constexpr int kPushSpace = 8;
constexpr int kGroupSpace = 14;
constexpr int kComboSpace = 22;

struct Control {
  HWND hwnd;
  RECT rect;  // in the dialog's client area
  std::wstring className;
  std::wstring text;
  DWORD style;
};

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t ch : text) narrow += ch < 0x80 ? static_cast<char>(ch) : '?';
  return narrow;
}

std::string Name(const Control& control) {
  return "control " + std::to_string(GetDlgCtrlID(control.hwnd)) + " \"" + Narrow(control.text) + "\"";
}

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

// Room for text beside what the control draws itself; -1 for no text.
int Allowance(const Control& control) {
  DWORD kind = control.style & BS_TYPEMASK;
  if (control.className == WC_STATIC) return 0;
  if (control.className == WC_COMBOBOX) return kComboSpace;
  if (control.className != WC_BUTTON) return -1;
  if (kind == BS_GROUPBOX) return kGroupSpace;
  if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) return kPushSpace;
  return kMarkSpace;
}

void CheckText(const Control& control, const std::wstring& text, int allowance, std::vector<std::string>* out) {
  SIZE size = TextSize(control.hwnd, text);
  int width = control.rect.right - control.rect.left - allowance;
  int height = control.rect.bottom - control.rect.top;
  if (size.cx > width) out->push_back(Name(control) + " clips \"" + Narrow(text) + "\"");
  bool field = control.className == WC_COMBOBOX || (control.style & BS_TYPEMASK) == BS_GROUPBOX;
  if (!field && size.cy > height) out->push_back(Name(control) + " is lower than its text");
}

// The part of a control that shows: a combo box's height holds its
// dropped list, which may reach further.
RECT Field(const Control& control) {
  RECT field = control.rect;
  if (control.className == WC_COMBOBOX) field.bottom = field.top + TextSize(control.hwnd, L"").cy + 6;
  return field;
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
    Control control{child, {}, {}, {}, static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE))};
    GetWindowRect(child, &control.rect);
    OffsetRect(&control.rect, -origin.x, -origin.y);
    wchar_t buffer[256] = {};
    GetClassNameW(child, buffer, 256);
    control.className = buffer;
    GetWindowTextW(child, buffer, 256);
    control.text = buffer;
    controls.push_back(control);
  }
  for (const Control& control : controls) {
    if (!Inside(Field(control), client)) problems.push_back(Name(control) + " reaches outside the dialog");
    int allowance = Allowance(control);
    if (allowance >= 0 && control.className != WC_COMBOBOX) CheckText(control, control.text, allowance, &problems);
    if (control.className == WC_COMBOBOX) {
      int count = static_cast<int>(SendMessageW(control.hwnd, CB_GETCOUNT, 0, 0));
      for (int i = 0; i < count; ++i) {
        wchar_t item[256] = {};
        SendMessageW(control.hwnd, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        CheckText(control, item, allowance, &problems);
      }
    }
  }
  auto isGroup = [](const Control& c) { return c.className == WC_BUTTON && (c.style & BS_TYPEMASK) == BS_GROUPBOX; };
  for (size_t i = 0; i < controls.size(); ++i)
    for (size_t j = i + 1; j < controls.size(); ++j) {
      const Control& a = controls[i];
      const Control& b = controls[j];
      RECT ra = Field(a), rb = Field(b), overlap{};
      if (!IntersectRect(&overlap, &ra, &rb)) continue;
      if ((isGroup(a) && Inside(rb, ra)) || (isGroup(b) && Inside(ra, rb))) continue;
      problems.push_back(Name(a) + " overlaps " + Name(b));
    }
  return problems;
}

}  // namespace vqtest

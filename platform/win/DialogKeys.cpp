#include "platform/win/DialogKeys.h"

#include <atomic>
#include <vector>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "platform/win/WindowRegistry.h"

namespace vqplatform {
namespace {

std::atomic<PreTranslateHook> preTranslateHook{nullptr};

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
DWORD ExStyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)); }

// By the control's own styles: the dialog itself may still be hidden.
bool CanTakeFocus(HWND control) {
  DWORD style = StyleOf(control);
  return (style & WS_VISIBLE) && !(style & WS_DISABLED);
}

bool IsControlParent(HWND hwnd) { return (ExStyleOf(hwnd) & WS_EX_CONTROLPARENT) != 0; }

bool IsDialog(HWND hwnd) { return GetWindowAttachment(hwnd, "dialog") != nullptr; }

HWND TopLevelOf(HWND hwnd) {
  while (hwnd && (StyleOf(hwnd) & WS_CHILD)) hwnd = GetParent(hwnd);
  return hwnd;
}

// The controls in tab order: each child in Z order, then, for a visible and
// enabled control parent (a page, a tab control holding pages), its own.
void CollectTabOrder(HWND parent, std::vector<HWND>* order) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    order->push_back(child);
    if (IsControlParent(child) && CanTakeFocus(child)) CollectTabOrder(child, order);
  }
}

// The control of the dialog's tab order that holds `window` (the combo box
// of the edit inside it, say): the window below the dialog or below one of
// its control parents.
HWND ControlHolding(HWND dialog, HWND window) {
  while (window && window != dialog) {
    HWND parent = GetParent(window);
    if (parent == dialog || (parent && IsControlParent(parent) && IsChild(dialog, parent))) return window;
    window = parent;
  }
  return nullptr;
}

// The group of a control among its siblings: from the last WS_GROUP control
// up to the next.
std::vector<HWND> GroupOf(HWND control) {
  std::vector<HWND> all, group;
  HWND parent = GetParent(control);
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) all.push_back(child);
  size_t at = 0;
  while (at < all.size() && all[at] != control) ++at;
  if (at == all.size()) return group;
  size_t first = at;
  while (first > 0 && !(StyleOf(all[first]) & WS_GROUP)) --first;
  for (size_t i = first; i < all.size(); ++i) {
    if (i != first && (StyleOf(all[i]) & WS_GROUP)) break;
    group.push_back(all[i]);
  }
  return group;
}

void PressDefault(HWND dialog, HWND focus) {
  int id = IDOK;
  if (focus && (DialogCode(focus, nullptr) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
    id = GetDlgCtrlID(focus);
  } else {
    LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
    if (HIWORD(def) == DC_HASDEFID) id = LOWORD(def);
  }
  HWND button = GetDlgItem(dialog, id);
  if (button && !IsWindowEnabled(button)) return;
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

// Arrow keys move within a group; an automatic radio button is clicked.
void MoveInGroup(HWND dialog, HWND control, bool previous) {
  HWND next = GetNextDlgGroupItem(dialog, control, previous ? TRUE : FALSE);
  if (!next || next == control) return;
  SetFocus(next);
  DWORD kind = StyleOf(next) & BS_TYPEMASK;
  if ((DialogCode(next, nullptr) & DLGC_RADIOBUTTON) && kind == BS_AUTORADIOBUTTON) SendMessageW(next, BM_CLICK, 0, 0);
}

// The layer's own part of the pre-translation: input for a window inside a
// dialog goes through that dialog's manager.
bool TranslateForDialog(MSG* msg) {
  if (!msg->hwnd || !IsInputMessage(msg->message)) return false;
  HWND top = TopLevelOf(msg->hwnd);
  return top && IsDialog(top) && IsDialogMessageW(top, msg);
}

}  // namespace

bool IsInputMessage(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

bool PreTranslateThreadMessage(MSG* msg) {
  PreTranslateHook hook = preTranslateHook.load();
  if (hook && hook(msg)) return true;
  return TranslateForDialog(msg);
}

void SetPreTranslateHook(PreTranslateHook hook) { preTranslateHook = hook; }

HWND OuterDialog(HWND dialog) {
  while (dialog && (StyleOf(dialog) & WS_CHILD) && IsControlParent(dialog)) {
    HWND parent = GetParent(dialog);
    if (!parent) break;
    dialog = parent;
  }
  return dialog;
}

LRESULT DialogCode(HWND control, const MSG* msg) {
  return control ? SendMessageW(control, WM_GETDLGCODE, msg ? msg->wParam : 0, reinterpret_cast<LPARAM>(msg)) : 0;
}

void FocusControl(HWND control) {
  if (!control) return;
  SetFocus(control);
  if (DialogCode(control, nullptr) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
}

void PressCancel(HWND dialog) {
  HWND button = GetDlgItem(dialog, IDCANCEL);
  if (button && !IsWindowEnabled(button)) return;
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void PassFocusFromDisabled(HWND window) {
  HWND focus = GetFocus();
  if (!focus || !(StyleOf(window) & WS_CHILD) || (focus != window && !IsChild(window, focus))) return;
  HWND top = TopLevelOf(window);
  HWND next = IsDialog(top) ? GetNextDlgTabItem(top, focus, FALSE) : nullptr;
  if (!next || next == focus || next == window || IsChild(window, next)) next = top;
  FocusControl(next);
}

}  // namespace vqplatform

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
  if (!msg || !dialog || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) return FALSE;
  // A page's keys move through the whole dialog it lies in.
  dialog = vqplatform::OuterDialog(dialog);
  HWND focus = GetFocus();
  if (focus && focus != dialog && !IsChild(dialog, focus)) focus = nullptr;
  HWND control = focus ? vqplatform::ControlHolding(dialog, focus) : nullptr;
  LRESULT code = vqplatform::DialogCode(focus, msg);
  if (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP)
    vqplatform::SetKeyDown(static_cast<int>(msg->wParam), msg->message == WM_KEYDOWN);
  if (msg->message == WM_KEYDOWN && !(code & DLGC_WANTALLKEYS)) {
    switch (msg->wParam) {
      case VK_TAB:
        if (code & DLGC_WANTTAB) break;
        vqplatform::FocusControl(GetNextDlgTabItem(dialog, control, GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE));
        return TRUE;
      case VK_RETURN: vqplatform::PressDefault(dialog, focus); return TRUE;
      case VK_ESCAPE: vqplatform::PressCancel(dialog); return TRUE;
      case VK_LEFT:
      case VK_UP:
      case VK_RIGHT:
      case VK_DOWN:
        if (code & DLGC_WANTARROWS) break;
        if (control) vqplatform::MoveInGroup(dialog, control, msg->wParam == VK_LEFT || msg->wParam == VK_UP);
        return TRUE;
      default: break;
    }
  }
  if (msg->message == WM_CHAR && (msg->wParam == L'\t' || msg->wParam == L'\r' || msg->wParam == 0x1B) &&
      !(code & DLGC_WANTALLKEYS) && !((code & DLGC_WANTTAB) && msg->wParam == L'\t'))
    return TRUE;
  TranslateMessage(msg);
  DispatchMessageW(msg);
  return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  dialog = vqplatform::OuterDialog(dialog);
  std::vector<HWND> all;
  vqplatform::CollectTabOrder(dialog, &all);
  if (all.empty()) return nullptr;
  HWND holder = control ? vqplatform::ControlHolding(dialog, control) : nullptr;
  size_t count = all.size();
  size_t at = count;
  for (size_t i = 0; i < count; ++i)
    if (all[i] == holder) at = i;
  for (size_t step = 1; step <= count; ++step) {
    size_t index;
    if (at == count)
      index = previous ? count - step : step - 1;
    else
      index = previous ? (at + count - step) % count : (at + step) % count;
    HWND candidate = all[index];
    if ((vqplatform::StyleOf(candidate) & WS_TABSTOP) && vqplatform::CanTakeFocus(candidate)) return candidate;
  }
  return control;
}

HWND GetNextDlgGroupItem(HWND, HWND control, BOOL previous) {
  std::vector<HWND> group = vqplatform::GroupOf(control);
  if (group.empty()) return nullptr;
  size_t count = group.size(), at = 0;
  while (at < count && group[at] != control) ++at;
  for (size_t step = 1; step < count; ++step) {
    size_t index = previous ? (at + count - step) % count : (at + step) % count;
    if (vqplatform::CanTakeFocus(group[index])) return group[index];
  }
  return control;
}

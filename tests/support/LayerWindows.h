#pragma once
// The layer's own windows as a program has them, for the tests and the fuzz
// target that show nothing from outside reaches them: a hidden tooltip with
// an empty title, a plain window titled "Plain" and a dialog titled
// "Dialog" with a default button, a list, a combo box and an edit, made in
// this order. Header only: the fuzz target uses it without the test libraries.
#include <vector>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/DialogTemplate.h"
#include "platform/win/Window.h"

namespace vqtest {

struct LayerWindows {
  enum { kList = 10, kCombo, kEdit };
  HWND tooltip = nullptr;
  HWND plain = nullptr;
  HWND dialog = nullptr;

  bool Made() const { return tooltip && plain && dialog; }
  // The top-level ones, then the dialog's controls.
  std::vector<HWND> All() const {
    return {tooltip, plain, dialog, GetDlgItem(dialog, IDOK), GetDlgItem(dialog, kList), GetDlgItem(dialog, kCombo),
            GetDlgItem(dialog, kEdit)};
  }
  void Destroy() const {
    for (HWND hwnd : {tooltip, plain, dialog}) DestroyWindow(hwnd);
  }
};

// `plainClass` is a registered class for the plain window.
inline LayerWindows MakeLayerWindows(const wchar_t* plainClass) {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | DS_SETFONT, 0, 0, 0, 200, 120, L"Dialog", L"MS Shell Dlg", 9,
      {
          {IDOK, WC_BUTTON, L"OK", WS_VISIBLE | BS_DEFPUSHBUTTON, 0, 7, 7, 50, 14},
          {LayerWindows::kList, WC_LISTVIEW, L"", WS_VISIBLE | LVS_REPORT, 0, 7, 25, 100, 60},
          {LayerWindows::kCombo, WC_COMBOBOX, L"", WS_VISIBLE | CBS_DROPDOWN, 0, 110, 7, 80, 60},
          {LayerWindows::kEdit, WC_EDIT, L"", WS_VISIBLE, 0, 110, 30, 80, 14},
      }};
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  LayerWindows windows;
  windows.tooltip =
      CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASS, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  windows.plain =
      CreateWindowExW(0, plainClass, L"Plain", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  windows.dialog = vqplatform::CreateDialogFromTemplate(dialogTemplate, nullptr, nullptr, 0);
  return windows;
}

}  // namespace vqtest

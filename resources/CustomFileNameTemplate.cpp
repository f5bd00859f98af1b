// Template 209: the name dialog (no caption).
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Window.h"
#include "resources/Resources.h"

namespace vqres {

const DialogTemplate& CustomFileNameTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_BORDER | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
      0,
      0,
      0,
      246,
      72,
      L"",
      L"MS Shell Dlg",
      9,
      {
          {1092, WC_STATIC, L"文件名:", WS_VISIBLE | SS_RIGHT, 0, 10, 20, 40, 10},
          {1090, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 54, 17, 180, 14},
          {IDOK, WC_BUTTON, L"确定", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 0, 64, 45, 50, 16},
          {IDCANCEL, WC_BUTTON, L"取消", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 132, 45, 50, 16},
      }};
  return dialogTemplate;
}

}  // namespace vqres

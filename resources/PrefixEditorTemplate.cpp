// Template 211: the editor of the file-name prefixes. The list is one text
// whose prefixes '|' separates: a line break has no place in it, so the
// edit does not want Return, which presses OK.
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Window.h"
#include "resources/Resources.h"

namespace vqres {

const DialogTemplate& PrefixEditorTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
      0,
      0,
      0,
      173,
      70,
      L"编辑",
      L"MS Shell Dlg",
      9,
      {
          {1090, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL,
           WS_EX_CLIENTEDGE, 7, 7, 159, 26},
          {-1, WC_STATIC, L"    文件名前缀之间用 '|' 字符分割。", WS_VISIBLE | SS_LEFT, 0, 7, 37, 159, 9},
          {IDOK, WC_BUTTON, L"确定", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 0, 30, 50, 50, 14},
          {IDCANCEL, WC_BUTTON, L"取消", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 93, 50, 50, 14},
      }};
  return dialogTemplate;
}

}  // namespace vqres

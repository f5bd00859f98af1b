// Template 148: the settings sheet, a tab control over its three pages.
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& SystemInfoTemplate() {
  // The pages go where the tab control is, below its tab row: 262 x 188
  // holds the tallest page (176 units) under a row of 20 pixels.
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
      0,
      0,
      0,
      274,
      220,
      L"设置系统参数",
      L"MS Shell Dlg",
      9,
      {
          {1117, WC_TABCONTROL, L"", kChild | WS_TABSTOP | WS_GROUP, 0, 6, 6, 262, 188},
          {1032, WC_BUTTON, L"默认值", kPush | WS_GROUP, 0, 6, 200, 56, 14},
          {IDOK, WC_BUTTON, L"确定", kDefaultPush, 0, 156, 200, 53, 14},
          {IDCANCEL, WC_BUTTON, L"取消", kPush, 0, 215, 200, 53, 14},
      }};
  return dialogTemplate;
}

}  // namespace vqres

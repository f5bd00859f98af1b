// Template 6013: the data source's merge dialog. The button row sits at the
// top; the dialog places the two pages below it and sizes itself.
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& MergePagesTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      0,
      0,
      316,
      183,
      L"图像合并",
      L"MS Shell Dlg",
      8,
      {
          {6025, WC_BUTTON, L"", kPush, 0, 7, 7, 50, 14},
          {6026, WC_BUTTON, L"交换位置", kPush, 0, 63, 7, 50, 14},
          {IDCANCEL, WC_BUTTON, L"取消", kPush, 0, 116, 7, 50, 14},
          {IDOK, WC_BUTTON, L"确定", kDefaultPush, 0, 168, 7, 50, 14},
      }};
  return dialogTemplate;
}

}  // namespace vqres

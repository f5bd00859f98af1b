// Template 141: the merge dialog. Its buttons sit in a row at the top; the
// dialog lays out the two pictures below them and sizes itself.
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& ShowImageTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      0,
      0,
      214,
      120,
      L"图像合并",
      L"MS Shell Dlg",
      9,
      {
          {1021, WC_BUTTON, L"左右合并", kPush, 0, 4, 4, 46, 15},
          {1020, WC_BUTTON, L"交换位置", kPush, 0, 54, 4, 38, 15},
          {1032, WC_BUTTON, L"打印", kPush, 0, 96, 4, 34, 15},
          {IDOK, WC_BUTTON, L"确定", kDefaultPush, 0, 134, 4, 34, 15},
          {IDCANCEL, WC_BUTTON, L"取消", kPush, 0, 172, 4, 34, 15},
      }};
  return dialogTemplate;
}

}  // namespace vqres

// Template 223: the multipage dialog, a tall strip of four page pictures
// (drawn by the dialog from 30 pixels down) between the paging buttons and
// the write and cancel buttons.
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& MultiPageTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      0,
      0,
      120,
      409,
      L"存为多页文件",
      L"MS Shell Dlg",
      8,
      {
          {1093, WC_BUTTON, L"<<", kPush, 0, 17, 2, 20, 13},
          {1091, WC_BUTTON, L"<", kPush, 0, 40, 2, 20, 13},
          {1092, WC_BUTTON, L">", kPush, 0, 63, 2, 20, 13},
          {1094, WC_BUTTON, L">>", kPush, 0, 86, 2, 20, 13},
          {1032, WC_BUTTON, L"合并图像", kPush, 0, 17, 374, 40, 16},
          {1033, WC_BUTTON, L"取消", kPush, 0, 66, 374, 40, 16},
      }};
  return dialogTemplate;
}

}  // namespace vqres

// Template 195: the timed-shots dialog, the list of shots on the left and
// the count and the two buttons on the right.
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& PicTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      0,
      0,
      143,
      264,
      L"定时拍摄",
      L"MS Shell Dlg",
      9,
      {
          {1066, WC_LISTVIEW, L"", kChild | WS_TABSTOP | WS_GROUP | LVS_ICON | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
           WS_EX_CLIENTEDGE, 4, 4, 72, 256},
          {1064, WC_STATIC, L"当前已经拍摄 0 张", kLabel, 0, 79, 8, 62, 10},
          {IDOK, WC_BUTTON, L"合并图像", kDefaultPush, 0, 85, 222, 52, 15},
          {IDCANCEL, WC_BUTTON, L"取消", kPush, 0, 85, 243, 52, 15},
      }};
  return dialogTemplate;
}

}  // namespace vqres

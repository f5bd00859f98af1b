// Template 199: continuous capturing, by a timer or by new-sheet detection.
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& ContinuousShootTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      0,
      0,
      244,
      90,
      L"连续拍摄",
      L"MS Shell Dlg",
      9,
      {
          {1139, WC_BUTTON, L"连拍方式", kGroupBox, 0, 7, 4, 150, 46},
          {1063, WC_BUTTON, L"定时", kRadioFirst, 0, 14, 17, 44, 10},
          {1084, WC_BUTTON, L"智能连拍", kRadio, 0, 14, 34, 100, 10},
          {1026, WC_EDIT, L"", kEdit | WS_BORDER, 0, 60, 16, 40, 12},
          {1140, WC_STATIC, L"秒", kLabel, 0, 104, 18, 40, 10},
          {1, WC_BUTTON, L"开始连拍", kDefaultPush, 0, 166, 6, 70, 14},
          {1032, WC_BUTTON, L"暂停连拍", kPush, 0, 166, 22, 70, 14},
          {2, WC_BUTTON, L"停止连拍", kPush, 0, 166, 38, 70, 14},
          {1067, WC_STATIC, L"当前已经拍摄0张图像", kLabel, 0, 7, 56, 230, 12},
          {1068, WC_STATIC, L"Static", kLabel, 0, 7, 72, 230, 12},
      }};
  return dialogTemplate;
}

}  // namespace vqres

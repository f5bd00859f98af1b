// Template 101: the progress of a text recognition (no caption).
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& OcrProgressTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_BORDER | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
      0,
      0,
      0,
      324,
      96,
      L"",
      L"宋体",
      9,
      {
          {1096, WC_STATIC, L"       识别进度：", kLabel, 0, 7, 12, 92, 10},
          {1095, PROGRESS_CLASS, L"", kChild | WS_BORDER, 0, 102, 10, 214, 12},
          {1098, WC_STATIC, L"       进度反馈：", kLabel, 0, 7, 34, 92, 10},
          {1086, WC_STATIC, L"识别中", kLabel, 0, 102, 34, 214, 30},
          {1, WC_BUTTON, L"确定", kDefaultPush | WS_DISABLED, 0, 186, 74, 62, 14},
          {1093, WC_BUTTON, L"停止识别", kPush, 0, 254, 74, 62, 14},
      }};
  return dialogTemplate;
}

}  // namespace vqres

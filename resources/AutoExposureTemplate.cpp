// Template 200: the exposure search's progress (no caption).
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& AutoExposureTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_BORDER | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
      0,
      0,
      0,
      186,
      46,
      L"",
      L"MS Shell Dlg",
      9,
      {
          {kNoId, WC_STATIC, L"软件自动曝光控制中，请稍后...", kLabel, 0, 8, 8, 170, 10},
          {1082, PROGRESS_CLASS, L"", kChild | WS_BORDER, 0, 8, 24, 170, 12},
      }};
  return dialogTemplate;
}

}  // namespace vqres

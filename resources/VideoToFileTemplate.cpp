// Template 204: recording the live picture into a video file.
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& VideoToFileTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      0,
      0,
      269,
      68,
      L"视频录制",
      L"MS Shell Dlg",
      9,
      {
          {1086, WC_STATIC, L"", kLabel, 0, 7, 10, 255, 20},
          {1, WC_BUTTON, L"开始录像", kDefaultPush, 0, 7, 44, 80, 14},
          {1032, WC_BUTTON, L"管理音频设备", kPush, 0, 94, 44, 80, 14},
          {2, WC_BUTTON, L"取消", kPush, 0, 182, 44, 80, 14},
      }};
  return dialogTemplate;
}

}  // namespace vqres

// Template 6020: the data source's page preview; the zoomable view is made
// at run time above the button row.
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& PagePreviewTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      0,
      0,
      542,
      360,
      L"图像预览",
      L"MS Shell Dlg",
      8,
      {
          {kNoId, WC_STATIC, L"请通过鼠标拖动图像预览区域，通过鼠标滚轮放大或缩小预览图像", kLabel, 0, 7, 340, 238, 8},
          {6042, WC_BUTTON, L"适应屏幕", kPush, 0, 252, 336, 80, 17},
          {6041, WC_BUTTON, L"原始比例显示", kPush, 0, 336, 336, 80, 17},
          {IDCANCEL, WC_BUTTON, L"关闭", kPush, 0, 455, 336, 80, 17},
      }};
  return dialogTemplate;
}

}  // namespace vqres

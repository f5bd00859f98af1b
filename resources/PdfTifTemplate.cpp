// Template 210: the page-strip dialog, laid out as the multipage dialog
// with its pictures 20 pixels from the left.
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& PdfTifTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      0,
      0,
      113,
      409,
      L"",
      L"MS Shell Dlg",
      8,
      {
          {1093, WC_BUTTON, L"<<", kPush, 0, 13, 2, 20, 13},
          {1091, WC_BUTTON, L"<", kPush, 0, 36, 2, 20, 13},
          {1092, WC_BUTTON, L">", kPush, 0, 59, 2, 20, 13},
          {1094, WC_BUTTON, L">>", kPush, 0, 82, 2, 20, 13},
          {1032, WC_BUTTON, L"合并图像", kPush, 0, 13, 374, 40, 16},
          {1033, WC_BUTTON, L"取消", kPush, 0, 62, 374, 40, 16},
      }};
  return dialogTemplate;
}

}  // namespace vqres

// Template 218: the image page of the settings sheet.
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& ImageParaTemplate() {
  static const DialogTemplate dialogTemplate{
      kPageDialog,
      0,
      0,
      0,
      259,
      147,
      L"",
      L"MS Shell Dlg",
      9,
      {
          {1130, WC_STATIC, L"图像XDPI：", kLabel, 0, 8, 12, 56, 10},
          {1038, WC_EDIT, L"", kEdit | ES_NUMBER, WS_EX_CLIENTEDGE, 66, 10, 40, 13},
          {1131, WC_STATIC, L"图像YDPI：", kLabel, 0, 128, 12, 56, 10},
          {1039, WC_EDIT, L"", kEdit | ES_NUMBER, WS_EX_CLIENTEDGE, 186, 10, 40, 13},
          {1132, WC_STATIC, L"JPG图像质量：低", kLabel, 0, 8, 36, 78, 10},
          {1040, TRACKBAR_CLASS, L"", kSlider, 0, 88, 32, 124, 16},
          {1112, WC_STATIC, L"高", kLabel, 0, 214, 36, 40, 10},
          {1133, WC_STATIC, L"图像分辨率：", kLabel, 0, 8, 60, 56, 10},
          {1006, WC_COMBOBOX, L"", kDropList, 0, 66, 58, 110, 120},
          {1134, WC_STATIC, L"切割范围：左", kLabel, 0, 8, 84, 56, 10},
          {1069, WC_EDIT, L"", kEdit, WS_EX_CLIENTEDGE, 66, 82, 24, 13},
          {1135, WC_STATIC, L"      上 ", kRightLabel, 0, 92, 84, 26, 10},
          {1070, WC_EDIT, L"", kEdit, WS_EX_CLIENTEDGE, 120, 82, 24, 13},
          {1136, WC_STATIC, L"      右 ", kRightLabel, 0, 146, 84, 26, 10},
          {1071, WC_EDIT, L"", kEdit, WS_EX_CLIENTEDGE, 174, 82, 24, 13},
          {1137, WC_STATIC, L"      下 ", kRightLabel, 0, 200, 84, 26, 10},
          {1072, WC_EDIT, L"", kEdit, WS_EX_CLIENTEDGE, 228, 82, 24, 13},
          {1138, WC_STATIC, L"图像格式：", kLabel, 0, 8, 108, 56, 10},
          {1063, WC_BUTTON, L"默认", kRadioFirst, 0, 66, 108, 56, 10},
          {1022, WC_BUTTON, L"*.BMP", kRadio, 0, 126, 108, 56, 10},
          {1075, WC_BUTTON, L"*.JPG", kRadio, 0, 186, 108, 56, 10},
          {1076, WC_BUTTON, L"*.PNG", kRadio, 0, 66, 124, 56, 10},
          {1021, WC_BUTTON, L"*.TIF", kRadio, 0, 126, 124, 56, 10},
          {1111, WC_BUTTON, L"*.GIF", kRadio, 0, 186, 124, 56, 10},
      }};
  return dialogTemplate;
}

}  // namespace vqres

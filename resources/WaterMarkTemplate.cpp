// Template 217: the watermark page of the settings sheet. The boxes get
// their entries from the page.
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& WaterMarkTemplate() {
  static const DialogTemplate dialogTemplate{
      kPageDialog,
      0,
      0,
      0,
      259,
      170,
      L"",
      L"MS Shell Dlg",
      9,
      {
          {1129, WC_BUTTON, L"水印內容", kGroupBox, 0, 7, 4, 245, 56},
          {1073, WC_BUTTON, L"时间水印", kCheck | WS_GROUP, 0, 16, 18, 100, 10},
          {1091, WC_BUTTON, L"自定义水印", kCheck, 0, 16, 38, 64, 10},
          {1090, WC_EDIT, L"", kEdit | WS_DISABLED, WS_EX_CLIENTEDGE, 82, 36, 160, 13},
          {1124, WC_STATIC, L"水印位置", kLabel, 0, 10, 72, 62, 10},
          {1100, WC_COMBOBOX, L"", kDropList, 0, 76, 70, 110, 80},
          {1125, WC_STATIC, L"水印大小", kLabel, 0, 10, 94, 62, 10},
          {1101, WC_EDIT, L"", kEdit | ES_NUMBER, WS_EX_CLIENTEDGE, 76, 92, 40, 13},
          {1126, WC_STATIC, L"水印颜色", kLabel, 0, 10, 116, 62, 10},
          {1102, WC_COMBOBOX, L"", kDropList, 0, 76, 114, 110, 80},
          {1127, WC_STATIC, L"水印透明度", kLabel, 0, 10, 140, 62, 10},
          {kNoId, WC_STATIC, L"0", kRightLabel, 0, 74, 140, 8, 10},
          {1103, TRACKBAR_CLASS, L"", kSlider, 0, 84, 136, 118, 16},
          {kNoId, WC_STATIC, L"100", kLabel, 0, 204, 140, 16, 10},
          {1104, WC_EDIT, L"", kEdit | ES_READONLY, WS_EX_CLIENTEDGE, 222, 138, 28, 13},
      }};
  return dialogTemplate;
}

}  // namespace vqres

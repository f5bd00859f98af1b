// Template 219: the advanced page of the settings sheet. The language
// label and box and the deformation box are hidden.
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& AdvancedSettingTemplate() {
  static const DialogTemplate dialogTemplate{
      kPageDialog,
      0,
      0,
      0,
      254,
      176,
      L"",
      L"MS Shell Dlg",
      9,
      {
          {1121, WC_BUTTON, L"存储路径", kGroupBox, 0, 6, 2, 242, 46},
          {1016, WC_EDIT, L"", kEdit | ES_READONLY, WS_EX_CLIENTEDGE, 14, 14, 168, 13},
          {1017, WC_BUTTON, L"存储设置", kPush | WS_GROUP, 0, 186, 13, 56, 15},
          {1097, WC_BUTTON, L"保存至日期文件夹", kCheck | WS_GROUP, 0, 14, 31, 150, 10},
          {1122, WC_BUTTON, L"打印设置", kGroupBox, 0, 6, 50, 242, 26},
          {1079, WC_BUTTON, L"原比例打印", kRadioFirst, 0, 14, 61, 110, 10},
          {1080, WC_BUTTON, L"缩放打印", kRadio, 0, 130, 61, 110, 10},
          {1123, WC_BUTTON, L"其他设置", kGroupBox, 0, 6, 80, 242, 92},
          {1087, WC_BUTTON, L"去阴影", kCheck, 0, 14, 92, 112, 10},
          {1113, WC_BUTTON, L"多目标自动切边", kCheck, 0, 130, 92, 112, 10},
          {1107, WC_BUTTON, L"条码到文本", kCheck, 0, 14, 105, 112, 10},
          {1105, WC_BUTTON, L"文档方向检测", kCheck, 0, 130, 105, 112, 10},
          {1093, WC_BUTTON, L"保留合并素材", kCheck, 0, 14, 118, 112, 10},
          {1055, WC_BUTTON, L"拍摄音", kCheck, 0, 130, 118, 112, 10},
          {1142, WC_BUTTON, L"画中画模式", kCheck, 0, 14, 131, 112, 10},
          {1143, WC_BUTTON, L"英文OCR", kCheck, 0, 130, 131, 112, 10},
          {1116, WC_BUTTON, L"开启高速模式", kCheck, 0, 14, 144, 228, 10},
          {1088, WC_BUTTON, L"文档形变处理", kCheck & ~WS_VISIBLE, 0, 130, 157, 112, 10},
          {1119, WC_STATIC, L"要去除的噪点大小：", kLabel, 0, 14, 158, 80, 10},
          {1062, WC_EDIT, L"", kEdit | ES_NUMBER, WS_EX_CLIENTEDGE, 96, 156, 28, 13},
          {1120, WC_STATIC, L"选择语言：", kLabel & ~WS_VISIBLE, 0, 130, 158, 40, 10},
          {1118, WC_COMBOBOX, L"", kDropList & ~WS_VISIBLE, 0, 172, 156, 70, 60},
      }};
  return dialogTemplate;
}

}  // namespace vqres

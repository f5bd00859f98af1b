// Template 6012: the data source's scan parameters. The resolution edits are
// hidden by the dialog; the boxes get their entries from the dialog.
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& ScanParameterTemplate() {
  constexpr DWORD kBorderedEdit = kEdit | WS_BORDER;
  constexpr DWORD kEditableList = kChild | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      0,
      0,
      253,
      254,
      L"扫描参数",
      L"MS Shell Dlg",
      8,
      {
          {kNoId, WC_BUTTON, L"图像参数", kGroupBox, 0, 7, 3, 239, 75},
          {6039, WC_STATIC, L"图像XDPI：", kLabel, 0, 15, 20, 44, 8},
          {6022, WC_EDIT, L"", kBorderedEdit, 0, 60, 17, 40, 14},
          {6040, WC_STATIC, L"图像YDPI：", kLabel, 0, 140, 20, 40, 8},
          {6023, WC_EDIT, L"", kBorderedEdit, 0, 182, 17, 40, 14},
          {kNoId, WC_STATIC, L"图像分辨率：", kLabel, 0, 15, 42, 80, 8},
          {6035, WC_COMBOBOX, L"", kDropList, 0, 99, 40, 112, 90},
          {kNoId, WC_BUTTON, L"图像水印", kGroupBox, 0, 7, 88, 239, 115},
          {6043, WC_BUTTON, L"自定义水印", kCheck | WS_GROUP, 0, 26, 106, 58, 10},
          {6044, WC_EDIT, L"", kBorderedEdit, 0, 87, 104, 152, 14},
          {6045, WC_BUTTON, L"时间水印", kCheck, 0, 26, 124, 58, 10},
          {kNoId, WC_STATIC, L"水印大小：", kLabel, 0, 26, 142, 58, 8},
          {6046, WC_EDIT, L"", kBorderedEdit, 0, 87, 139, 64, 14},
          {kNoId, WC_STATIC, L"水印颜色：", kLabel, 0, 26, 158, 58, 8},
          {6047, WC_COMBOBOX, L"", kEditableList, 0, 87, 156, 64, 80},
          {kNoId, WC_STATIC, L"水印透明度：", kLabel, 0, 26, 174, 54, 8},
          {6048, TRACKBAR_CLASS, L"", kSlider, 0, 81, 171, 126, 15},
          {kNoId, WC_STATIC, L"0", kLabel, 0, 84, 188, 10, 8},
          {kNoId, WC_STATIC, L"100", kRightLabel, 0, 190, 188, 16, 8},
          {6049, WC_EDIT, L"", kBorderedEdit | ES_READONLY, 0, 219, 172, 25, 14},
          {6050, WC_BUTTON, L"多图裁切", kCheck | WS_GROUP, 0, 22, 216, 60, 10},
          {6051, WC_BUTTON, L"画中画模式", kCheck, 0, 97, 216, 60, 10},
          {IDOK, WC_BUTTON, L"确定", kDefaultPush, 0, 142, 233, 50, 14},
          {IDCANCEL, WC_BUTTON, L"取消", kPush, 0, 196, 233, 50, 14},
      }};
  return dialogTemplate;
}

}  // namespace vqres

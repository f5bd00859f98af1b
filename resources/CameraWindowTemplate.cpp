// Template 6000: the data source's camera window.
#include "platform/win/Dialog.h"
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& CameraWindowTemplate() {
  constexpr DWORD kSkinned = kChild | WS_TABSTOP | BS_PUSHBUTTON;
  constexpr DWORD kReadOnlyEdit = kEdit | ES_READONLY;
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT,
      0,
      0,
      0,
      570,
      389,
      L"Ombrecht软件Twain",
      L"MS Shell Dlg",
      8,
      {
          {6002, WC_STATIC, L"", kFrame | WS_VISIBLE, 0, 7, 7, 415, 375},
          {kNoId, WC_BUTTON, L"视频控制", kGroupBox, 0, 433, 7, 130, 42},
          {6013, WC_BUTTON, L"左旋90°", kSkinned, 0, 438, 20, 28, 23},
          {6014, WC_BUTTON, L"旋转180°", kSkinned, 0, 468, 20, 28, 23},
          {6015, WC_BUTTON, L"右旋90°", kSkinned, 0, 498, 20, 28, 23},
          {6034, WC_BUTTON, L"QH", kSkinned, 0, 528, 20, 28, 23},
          {6007, WC_BUTTON, L"视频参数", kPush, 0, 438, 51, 55, 25},
          {6021, WC_BUTTON, L"扫描参数", kPush, 0, 501, 51, 55, 25},
          {6038, WC_STATIC, L"曝光度", kLabel, 0, 436, 85, 25, 8},
          {6009, WC_EDIT, L"", kReadOnlyEdit | WS_BORDER, 0, 467, 82, 23, 14},
          {6010, WC_BUTTON, L"自动曝光", kCheck, 0, 511, 84, 48, 10},
          {6008, TRACKBAR_CLASS, L"", kSlider, 0, 432, 100, 127, 15},
          {6036, WC_BUTTON, L"图像类型", kGroupBox, 0, 433, 126, 130, 34},
          {6003, WC_BUTTON, L"彩色", kRadioFirst, 0, 445, 140, 32, 10},
          {6004, WC_BUTTON, L"灰度", kRadio, 0, 482, 140, 32, 10},
          {6005, WC_BUTTON, L"黑白", kRadio, 0, 519, 140, 32, 10},
          {6037, WC_BUTTON, L"图像切边", kGroupBox, 0, 433, 165, 130, 52},
          {6016, WC_BUTTON, L"不切边", kRadioFirst, 0, 446, 178, 40, 10},
          {6017, WC_BUTTON, L"自动校正去黑边", kRadio, 0, 446, 190, 72, 10},
          {6018, WC_BUTTON, L"自定义切边", kRadio, 0, 446, 202, 56, 10},
          {6024, WC_BUTTON, L"合并图像", kCheck | WS_GROUP, 0, 439, 227, 48, 10},
          {6027, WC_BUTTON, L"拍摄多张图像", kCheck, 0, 505, 227, 64, 10},
          {6011, WC_STATIC, L"已经扫描了0张图像", kLabel, 0, 439, 244, 121, 15},
          {6031, WC_BUTTON, L"上张", kPush, 0, 438, 259, 39, 19},
          {6032, WC_BUTTON, L"下张", kPush, 0, 481, 259, 39, 19},
          {6028, WC_BUTTON, L"启动连拍", kPush, 0, 436, 283, 61, 25},
          {6033, WC_BUTTON, L"停止连拍", kPush, 0, 501, 283, 62, 25},
          {6000, WC_BUTTON, L"扫描", kPush, 0, 436, 313, 127, 25},
          {6012, WC_BUTTON, L"上传", kPush, 0, 436, 343, 127, 25},
      }};
  return dialogTemplate;
}

}  // namespace vqres

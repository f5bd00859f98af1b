// Template 102: the main window and its controls.
#include "resources/Resources.h"
#include "resources/TemplateStyles.h"

namespace vqres {

const DialogTemplate& MainWindowTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_MODALFRAME | DS_SETFONT,
      0,
      0,
      0,
      599,
      398,
      L"Marlofen V1.1",
      L"MS Shell Dlg",
      9,
      {
          {1007, WC_STATIC, L"", kFrame | WS_VISIBLE, 0, 83, 7, 362, 375},
          {1078, WC_STATIC, L"", kFrame, 0, 55, 8, 20, 20},
          {1094, WC_STATIC, L"", kLabel, 0, 89, 387, 347, 8},
          {1041, WC_BUTTON, L"系统参数", kPush, 0, 451, 8, 44, 22},
          {1003, WC_BUTTON, L"视频参数", kPush, 0, 498, 8, 44, 22},
          {1005, WC_BUTTON, L"退出程序", kPush, 0, 546, 8, 44, 22},
          {1051, WC_BUTTON, L"", kGroupBox, 0, 450, 32, 142, 66},
          {1106, WC_STATIC, L"曝光度", kLabel, 0, 455, 50, 22, 8},
          {1042, TRACKBAR_CLASS, L"", kChild | WS_TABSTOP | TBS_BOTH | TBS_NOTICKS, 0, 475, 47, 67, 15},
          {1043, WC_EDIT, L"", kChild | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY, WS_EX_CLIENTEDGE, 541, 47, 16, 14},
          {1055, WC_BUTTON, L"自动", kCheck, 0, 560, 49, 29, 10},
          {1011, WC_BUTTON, L"L90", kPush, 0, 455, 68, 23, 21},
          {1008, WC_BUTTON, L"180", kPush, 0, 482, 68, 23, 21},
          {1010, WC_BUTTON, L"R90", kPush, 0, 509, 68, 23, 21},
          {1032, WC_BUTTON, L"切换", kPush, 0, 536, 68, 23, 21},
          {1081, WC_BUTTON, L"曝光", kPush, 0, 563, 68, 23, 21},
          {1052, WC_BUTTON, L"", kGroupBox, 0, 450, 100, 142, 50},
          {1058, WC_BUTTON, L"固定前缀", kRadioFirst, 0, 456, 114, 39, 9},
          {1057, WC_BUTTON, L"时间命名", kRadio, 0, 501, 114, 41, 9},
          {1089, WC_BUTTON, L"自由命名", kRadio, 0, 545, 114, 41, 9},
          {1108, WC_STATIC, L"前缀：", kLabel, 0, 456, 133, 24, 9},
          {1099, WC_COMBOBOX, L"", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0, 480, 132, 34, 13},
          {1109, WC_STATIC, L" +", kLabel, 0, 515, 132, 8, 13},
          {1060, WC_EDIT, L"", kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 525, 131, 17, 14},
          {1033, WC_BUTTON, L"浏览图像", kPush, 0, 544, 131, 40, 14},
          {1053, WC_BUTTON, L"", kGroupBox, 0, 450, 152, 142, 33},
          {1045, WC_BUTTON, L"不切边", kRadioFirst, 0, 458, 166, 37, 10},
          {1046, WC_BUTTON, L"校正去边", kRadio, 0, 500, 166, 45, 10},
          {1047, WC_BUTTON, L"自定义", kRadio, 0, 548, 166, 41, 10},
          {1012, WC_BUTTON, L"", kGroupBox, 0, 450, 187, 142, 33},
          {1013, WC_BUTTON, L"彩色", kRadioFirst, 0, 459, 201, 41, 10},
          {1014, WC_BUTTON, L"灰度", kRadio, 0, 502, 201, 42, 10},
          {1015, WC_BUTTON, L"黑白", kRadio, 0, 547, 201, 40, 10},
          {1035, WC_BUTTON, L"合并图像", kCheck | WS_GROUP, 0, 454, 224, 43, 10},
          {1037, WC_BUTTON, L"存储为多页TIF文件", kCheck, 0, 517, 224, 71, 10},
          {1048, WC_BUTTON, L"条形码识别", kCheck, 0, 454, 238, 50, 10},
          {1036, WC_BUTTON, L"存储为同一PDF文件", kCheck, 0, 517, 238, 73, 10},
          {1018, WC_BUTTON, L"拍摄", kPush, 0, 453, 253, 138, 21},
          {1024, WC_BUTTON, L"拍摄为PDF", kPush, 0, 453, 277, 138, 21},
          {1023, WC_BUTTON, L"复       印", kPush, 0, 453, 301, 138, 21},
          {1034, WC_BUTTON, L"文字识别", kPush, 0, 453, 325, 138, 21},
          {1083, WC_BUTTON, L"录像", kPush, 0, 453, 349, 138, 21},
          {1084, WC_BUTTON, L"连续拍摄", kPush, 0, 453, 373, 138, 21},
      }};
  return dialogTemplate;
}

}  // namespace vqres

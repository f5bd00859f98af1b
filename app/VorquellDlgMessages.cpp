// The main window's message texts in Simplified Chinese, Traditional
// Chinese and English.
#include "app/VorquellDlg.h"

namespace {

const wchar_t* const kMessages[3][CVorquellDlg::MSG_COUNT] = {
    {
        L"没有找到高拍仪设备，请检查高拍仪设备是否连接正确",
        L"创建临时文件夹失败",
        L"高拍仪设备可能被其他程序占用，请检查",
        L"没有识别出条码，或识别出的条码内容不适合作为文件名！",
        L"正在把图像合并为多页TIF文件",
        L"正在把图像合并为多页PDF文件",
        L"人像设备可能被其他程序占用，请检查",
        L"正在进行图像合并",
        L"文档设备可能被占用，所选分辨率无法启用",
        L"人像设备可能被占用，所选分辨率无法启用",
        L"只能使用一个设备录制视频",
        L"高拍仪设备被拔出或接触不良，请检查！",
    },
    {
        L"沒有找到高拍儀設備,請檢查高拍儀設備是否連接正確",
        L"創建暫存檔案夾失敗",
        L"高拍儀設備已被其他程式佔用",
        L"没有识别出条码，或识别出的条码内容不适合作为文件名！",
        L"正在把圖像合併為多頁TIF檔",
        L"正在把圖像合併為多頁PDF檔",
        L"人像設備可能被其他程式佔用，請檢查",
        L"正在進行圖像合併",
        L"文檔設備可能被佔用，所選解析度無法啟用",
        L"人像設備可能被佔用，所選解析度無法啟用",
        L"祗能使用一個設備進行錄影！",
        L"高拍儀設備被拔出或接觸不良，請檢查！",
    },
    {
        L"Please check whether the device is properly connected",
        L"Create a temporary folder fails",
        L"The device may be used by other programs, please check!",
        L"Contents of the bar code is empty, or is not suitable as file name!",
        L"Making Multi-page .TIF",
        L"Making Multi-page .PDF",
        L"POR-device may be used by other programs, please check!",
        L"Combining 2 images to 1",
        L"DOC-device may be occupied, selected resolution can not be enabled",
        L"POR-device may be occupied, selected resolution can not be enabled",
        L"When recording video, only one device can be use !",
        L"USB connection is not reliable, please check!",
    },
};

}  // namespace

void CVorquellDlg::LoadMessageTexts(int language) {
  if (language < 0 || language > 2) return;
  for (int i = 0; i < MSG_COUNT; ++i) messageTexts_[i] = kMessages[language][i];
}

#pragma once
// The program's resource tables. LoadResources registers them with the
// platform layer (dialog templates, menus and accelerator tables by id);
// call it once at start-up before any dialog is made. Later calls do
// nothing.
#include <vector>

#include "platform/win/DialogTemplate.h"
#include "platform/win/Menu.h"

#define IDD_MAIN_WINDOW 102
#define IDD_CUSTOM_FILE_NAME 209
#define IDD_SYSTEM_INFO 148
#define IDD_WATERMARK_PAGE 217
#define IDD_IMAGE_PAGE 218
#define IDD_ADVANCED_PAGE 219
#define IDD_SHOW_IMAGE 141
#define IDD_PIC 195
#define IDD_AUTO_EXPOSURE 200
#define IDD_CONTINUOUS_SHOOT 199
#define IDD_OCR_PROGRESS 101
#define IDD_VIDEO_TO_FILE 204
#define IDD_PDF_TIF 210
#define IDD_MULTI_PAGE 223
#define IDD_PREFIX_EDITOR 211
#define IDR_MAIN_ACCELERATORS 205
#define IDR_THUMB_MENU 147
#define IDR_PAGE_MENU 212
// The empty page slot picture of the page strips (129 x 146).
#define IDB_EMPTY_PAGE 165

// Commands of menu 147.
#define ID_THUMB_DELETE 32771
#define ID_THUMB_OPEN 32773
// Commands of menu 212: delete, and "before page n" from ID_PAGE_INSERT_FIRST
// (n = 1) upwards.
#define ID_PAGE_DELETE 32786
#define ID_PAGE_INSERT_FIRST 32787
// The data source's camera window; its resources stay inside the data source.
#define IDD_CAMERA_WINDOW 6000
#define IDD_SCAN_PARAMETER 6012
#define IDD_MERGE_PAGES 6013
#define IDR_STRIP_MENU 6014
#define IDD_PAGE_PREVIEW 6020
// The empty slot picture of the camera window's page strip.
#define IDB_STRIP_PLACEHOLDER 6016
// Commands of menu 6014: delete, and "to position n" from ID_STRIP_MOVE_FIRST
// (n = 1) upwards.
#define ID_STRIP_DELETE 32772
#define ID_STRIP_MOVE_FIRST 32777

namespace vqres {

void LoadResources();

// The tables themselves, for tests that inspect them.
const DialogTemplate& MainWindowTemplate();
const DialogTemplate& CustomFileNameTemplate();
const DialogTemplate& SystemInfoTemplate();
const DialogTemplate& WaterMarkTemplate();
const DialogTemplate& ImageParaTemplate();
const DialogTemplate& AdvancedSettingTemplate();
const DialogTemplate& ShowImageTemplate();
const DialogTemplate& MultiPageTemplate();
const DialogTemplate& PdfTifTemplate();
const DialogTemplate& PicTemplate();
const DialogTemplate& AutoExposureTemplate();
const DialogTemplate& ContinuousShootTemplate();
const DialogTemplate& OcrProgressTemplate();
const DialogTemplate& VideoToFileTemplate();
const std::vector<MenuItemTemplate>& ThumbMenu();
const std::vector<MenuItemTemplate>& PageMenu();
const DialogTemplate& CameraWindowTemplate();
const DialogTemplate& ScanParameterTemplate();
const DialogTemplate& MergePagesTemplate();
const DialogTemplate& PagePreviewTemplate();
const std::vector<MenuItemTemplate>& StripMenu();
const DialogTemplate& PrefixEditorTemplate();

}  // namespace vqres

#pragma once
// The program's resource tables. LoadResources registers them with the
// platform layer (dialog templates and accelerator tables by id); call it
// once at start-up before any dialog is made. Later calls do nothing.
#include "platform/win/DialogTemplate.h"

#define IDD_MAIN_WINDOW 102
#define IDD_CUSTOM_FILE_NAME 209
#define IDD_SYSTEM_INFO 148
#define IDD_WATERMARK_PAGE 217
#define IDD_IMAGE_PAGE 218
#define IDD_ADVANCED_PAGE 219
#define IDR_MAIN_ACCELERATORS 205
// The data source's camera window; its resources stay inside the data source.
#define IDD_CAMERA_WINDOW 6000

namespace vqres {

void LoadResources();

// The tables themselves, for tests that inspect them.
const DialogTemplate& MainWindowTemplate();
const DialogTemplate& CustomFileNameTemplate();
const DialogTemplate& SystemInfoTemplate();
const DialogTemplate& WaterMarkTemplate();
const DialogTemplate& ImageParaTemplate();
const DialogTemplate& AdvancedSettingTemplate();
const DialogTemplate& CameraWindowTemplate();

}  // namespace vqres

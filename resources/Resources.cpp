#include "resources/Resources.h"

#include <mutex>

#include "platform/win/Accelerators.h"

namespace vqres {

void LoadResources() {
  static std::once_flag once;
  std::call_once(once, [] {
    vqplatform::RegisterDialogTemplate(IDD_MAIN_WINDOW, &MainWindowTemplate());
    vqplatform::RegisterDialogTemplate(IDD_CUSTOM_FILE_NAME, &CustomFileNameTemplate());
    vqplatform::RegisterDialogTemplate(IDD_SYSTEM_INFO, &SystemInfoTemplate());
    vqplatform::RegisterDialogTemplate(IDD_WATERMARK_PAGE, &WaterMarkTemplate());
    vqplatform::RegisterDialogTemplate(IDD_IMAGE_PAGE, &ImageParaTemplate());
    vqplatform::RegisterDialogTemplate(IDD_ADVANCED_PAGE, &AdvancedSettingTemplate());
    vqplatform::RegisterDialogTemplate(IDD_SHOW_IMAGE, &ShowImageTemplate());
    vqplatform::RegisterDialogTemplate(IDD_MULTI_PAGE, &MultiPageTemplate());
    vqplatform::RegisterDialogTemplate(IDD_PDF_TIF, &PdfTifTemplate());
    vqplatform::RegisterDialogTemplate(IDD_PIC, &PicTemplate());
    vqplatform::RegisterDialogTemplate(IDD_AUTO_EXPOSURE, &AutoExposureTemplate());
    vqplatform::RegisterDialogTemplate(IDD_CONTINUOUS_SHOOT, &ContinuousShootTemplate());
    vqplatform::RegisterDialogTemplate(IDD_OCR_PROGRESS, &OcrProgressTemplate());
    vqplatform::RegisterDialogTemplate(IDD_VIDEO_TO_FILE, &VideoToFileTemplate());
    vqplatform::RegisterDialogTemplate(IDD_PREFIX_EDITOR, &PrefixEditorTemplate());
    vqplatform::RegisterMenuTemplate(IDR_THUMB_MENU, &ThumbMenu());
    vqplatform::RegisterMenuTemplate(IDR_PAGE_MENU, &PageMenu());
    // Space: capture; "o": capture to PDF; "p": capture and print.
    vqplatform::RegisterAcceleratorTable(IDR_MAIN_ACCELERATORS,
                                         {{FVIRTKEY, VK_SPACE, 32774}, {0, L'o', 32778}, {0, L'p', 32775}});
  });
}

}  // namespace vqres

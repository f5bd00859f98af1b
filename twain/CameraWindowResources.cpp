#include <mutex>

#include <opencv2/imgcodecs.hpp>

#include "platform/win/BitmapResources.h"
#include "resources/Resources.h"
#include "twain/CameraWindowPictures.h"

namespace strenvik {

void RegisterCameraWindowResources() {
  static std::once_flag once;
  std::call_once(once, [] {
    vqplatform::RegisterDialogTemplate(IDD_CAMERA_WINDOW, &vqres::CameraWindowTemplate());
    vqplatform::RegisterDialogTemplate(IDD_SCAN_PARAMETER, &vqres::ScanParameterTemplate());
    vqplatform::RegisterDialogTemplate(IDD_MERGE_PAGES, &vqres::MergePagesTemplate());
    vqplatform::RegisterDialogTemplate(IDD_PAGE_PREVIEW, &vqres::PagePreviewTemplate());
    vqplatform::RegisterMenuTemplate(IDR_STRIP_MENU, &vqres::StripMenu());
    size_t count = 0;
    const CameraWindowPicture* pictures = CameraWindowPictures(&count);
    for (size_t i = 0; i < count; ++i) {
      const cv::Mat png(1, static_cast<int>(pictures[i].size), CV_8U, const_cast<unsigned char*>(pictures[i].png));
      cv::Mat bgr = cv::imdecode(png, cv::IMREAD_COLOR);
      if (bgr.empty()) continue;
      vqplatform::BitmapPixels pixels;
      pixels.width = bgr.cols;
      pixels.height = bgr.rows;
      pixels.bgr.assign(bgr.data, bgr.data + bgr.total() * 3);
      vqplatform::RegisterBitmapResource(pictures[i].id, std::move(pixels));
    }
  });
}

}  // namespace strenvik

#include "twain/PagePipeline.h"

#include <opencv2/imgproc.hpp>

#include "app/ImageConversions.h"
#include "app/WatermarkRenderer.h"
#include "capture/CaptureController.h"
#include "imaging/AutoCrop.h"
#include "imaging/DarkBorder.h"
#include "imaging/ImageEnhancement.h"
#include "imaging/RectCut.h"
#include "twain/PageGrey.h"

namespace strenvik {

cv::Mat ControllerCamera::GetFrame() { return controller_->GetFrame(); }
std::vector<cv::Mat> ControllerCamera::GetDocumentImages() { return controller_->GetDocumentImages(); }
void ControllerCamera::GetResolution(int* width, int* height) { controller_->GetResolution(width, height); }
bool ControllerCamera::GetSelection(RECT* out) { return controller_->GetSelection(out); }
cv::Mat ControllerCamera::GetSecondaryFrame() { return controller_->GetSecondaryFrame(); }

namespace {

constexpr float kMinAreaRatio = 0.03f;
constexpr int kMargin = 10;
constexpr float kDetectionScale = 0.2f;
constexpr int kSobelKernel = 3;
constexpr int kMedianKernel = 9;
constexpr double kThresholdFactor = 8.0;

bool NearOne(double factor) { return factor >= 0.999 && factor <= 1.001; }

// The pages cut from one frame by the crop type; the frame itself when
// nothing was cut.
std::vector<cv::Mat> CutPages(PageCamera& camera, cv::Mat frame, const CaptureOptions& options) {
  std::vector<cv::Mat> pages;
  if (options.cropType == 1) {
    if (options.multiCut) {
      AutoCropDocuments(frame, kMinAreaRatio, kMargin, kDetectionScale, kSobelKernel, kMedianKernel, kThresholdFactor,
                        &pages);
    } else {
      cv::Mat document;
      if (AutoCropDocument(frame, kMinAreaRatio, kMargin, kDetectionScale, kSobelKernel, kMedianKernel,
                           kThresholdFactor, &document))
        frame = document;
    }
  } else if (options.cropType == 2) {
    RECT selection{};
    if (camera.GetSelection(&selection) && selection.right > selection.left && selection.bottom > selection.top)
      CropRect(frame, &pages, selection.left, selection.top, selection.right - selection.left,
               selection.bottom - selection.top);
  }
  if (pages.empty()) pages.push_back(frame);
  return pages;
}

void FinishPage(cv::Mat& page, double scaleX, double scaleY, const CaptureOptions& options) {
  if (options.colour == PageColour::Grey && page.channels() == 3) page = GreyOfPage(page);
  if (!NearOne(scaleX) || !NearOne(scaleY)) {
    const cv::Size size(cvRound(page.cols * scaleX), cvRound(page.rows * scaleY));
    if (size.width > 0 && size.height > 0) cv::resize(page, page, size, 0, 0, cv::INTER_LINEAR);
  }
  DrawWatermark(page, options.stamp);
  if (options.colour == PageColour::BlackWhite) {
    cv::Mat bilevel = BinarizeDocument(21, page, 301, 0.4);
    if (!bilevel.empty()) {
      FillDarkBorder(bilevel);
      RemoveSmallSpots(bilevel, 2);
      page = bilevel;
    }
  } else {
    CImageProcess process;
    cv::Mat normalised;
    if (process.NormalizeBrightness(page, normalised, 265)) page = normalised;
  }
  if (page.channels() == 1) cv::cvtColor(page, page, cv::COLOR_GRAY2BGR);
}

}  // namespace

std::vector<cv::Mat> ProcessCapture(PageCamera& camera, const CaptureOptions& options) {
  const bool mainCamera = options.cameraMode != 1;
  double scaleX = 1.0, scaleY = 1.0;
  if (mainCamera) {
    int width = 0, height = 0;
    camera.GetResolution(&width, &height);
    // Only sizes that make sense give a scale: a capture size of -1 or a
    // camera without a size leaves the pages as they come.
    if (width > 0 && height > 0 && options.resolutionWidth > 0 && options.resolutionHeight > 0) {
      scaleX = static_cast<double>(options.resolutionWidth) / width;
      scaleY = static_cast<double>(options.resolutionHeight) / height;
    }
  }
  std::vector<cv::Mat> pages;
  if (options.twoImagesInOne) {
    pages = camera.GetDocumentImages();
  } else {
    cv::Mat frame = camera.GetFrame();
    if (frame.empty()) return {};
    pages = CutPages(camera, frame, options);
    if (options.cameraMode == 2) {
      cv::Mat secondary = camera.GetSecondaryFrame();
      if (!secondary.empty())
        for (cv::Mat& page : pages) page = StackImagesVertically(page, secondary, CV_8UC3);
    }
  }
  std::vector<cv::Mat> finished;
  for (cv::Mat& page : pages) {
    if (page.empty()) continue;
    FinishPage(page, mainCamera ? scaleX : 1.0, mainCamera ? scaleY : 1.0, options);
    finished.push_back(page);
  }
  return finished;
}

void DrawWatermark(cv::Mat& image, const WaterMarkStamp& stamp) {
  if (stamp.text.IsEmpty() || stamp.position < 0 || stamp.position > 4 || image.empty()) return;
  cv::Mat tile = RenderWatermarkTile(stamp.text, stamp.size, stamp.color);
  if (!tile.empty()) BlendWatermarkTile(image, tile, stamp.position, stamp.transparency);
}

}  // namespace strenvik

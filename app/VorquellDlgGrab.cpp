// The first half of every capture: the current camera's documents, brought
// to the configured capture size and processed.
#include <opencv2/imgproc.hpp>

#include "app/BrandingData.h"
#include "app/ImageOutput.h"
#include "app/VorquellDlg.h"

void CVorquellDlg::RescalePage(cv::Mat& page, cv::Size running, cv::Size configured) {
  // A size that is not known yet leaves the page as the camera gave it.
  if (page.empty() || running.width <= 0 || running.height <= 0 || configured.width <= 0 || configured.height <= 0)
    return;
  const double rx = double(configured.width) / running.width;
  const double ry = double(configured.height) / running.height;
  const auto near1 = [](double f) { return f >= 0.999 && f <= 1.001; };
  if (near1(rx) && near1(ry)) return;
  // An upright page is a turned frame: its axes take the factors crosswise.
  const bool landscape = page.cols > page.rows;
  cv::resize(page, page, cv::Size(), landscape ? rx : ry, landscape ? ry : rx, cv::INTER_LINEAR);
}

std::vector<cv::Mat> CVorquellDlg::GrabAndProcess() {
  CImageOutput output(settings_.language);
  output.SetCameraIds(branding_.selectedCameraIds);
  const bool portrait = settings_.currentCamera == 1;
  CCaptureController* camera = portrait ? portraitController_.get() : documentController_.get();
  // A camera that is gone still shows its last picture: nothing is taken from it.
  if (!camera || CameraGone(camera)) return {};
  std::vector<cv::Mat> pages = camera->GetDocumentImages();
  if (pages.empty()) return {};
  if (portrait) pages.resize(1);
  cv::Size running;
  camera->GetResolution(&running.width, &running.height);
  const CSysSettings settings = settings_;
  const cv::Size configured = portrait ? cv::Size(settings.porCamWidth, settings.porCamHeight)
                                       : cv::Size(settings.docCamWidth, settings.docCamHeight);
  for (cv::Mat& page : pages) {
    RescalePage(page, running, configured);
    output.SetSettings(settings);
    cv::Mat processed;
    output.ProcessImage(processed, page);
    page = processed;
  }
  return pages;
}

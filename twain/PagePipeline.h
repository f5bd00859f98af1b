#pragma once
// The camera window's road from a camera frame to the pages for the host:
// cut out, scaled to the capture size, stacked under the picture in
// picture, watermarked and coloured. The camera is an interface so that the
// pipeline runs on a controller or on a test's pictures.
#include <vector>

#include <opencv2/core.hpp>

#include "platform/mfc/CString.h"
#include "platform/win/WinTypes.h"

class CCaptureController;

namespace strenvik {

// What the capture reads of the current camera.
class PageCamera {
 public:
  virtual ~PageCamera() = default;
  virtual cv::Mat GetFrame() = 0;
  virtual std::vector<cv::Mat> GetDocumentImages() = 0;
  virtual void GetResolution(int* width, int* height) = 0;
  virtual bool GetSelection(RECT* out) = 0;
  virtual cv::Mat GetSecondaryFrame() = 0;
};

// A capture controller as the pipeline's camera.
class ControllerCamera : public PageCamera {
 public:
  explicit ControllerCamera(CCaptureController* controller) : controller_(controller) {}
  cv::Mat GetFrame() override;
  std::vector<cv::Mat> GetDocumentImages() override;
  void GetResolution(int* width, int* height) override;
  bool GetSelection(RECT* out) override;
  cv::Mat GetSecondaryFrame() override;

 private:
  CCaptureController* controller_;
};

// The watermark drawn into each page.
struct WaterMarkStamp {
  int color = 0;  // COLORREF
  CString text;
  int position = 3;  // 0 top left, 1 top right, 2 bottom left, 3 bottom right, 4 centre
  int transparency = 50;
  int size = 72;
};

enum class PageColour { Colour, Grey, BlackWhite };

struct CaptureOptions {
  int cameraMode = 0;  // 0 main, 1 secondary, 2 main with the secondary in picture
  int cropType = 0;    // 0 none, 1 automatic, 2 the selection
  bool multiCut = false;
  bool twoImagesInOne = false;
  int resolutionWidth = 0;  // the capture size the main camera's pages get
  int resolutionHeight = 0;
  PageColour colour = PageColour::Colour;
  WaterMarkStamp stamp;
};

// The processed pages of one capture, three-channel BGR each; empty when the
// camera gave nothing.
std::vector<cv::Mat> ProcessCapture(PageCamera& camera, const CaptureOptions& options);

// Draws the stamp into the image in place (nothing for an empty text or an
// unknown position).
void DrawWatermark(cv::Mat& image, const WaterMarkStamp& stamp);

}  // namespace strenvik

#pragma once
// A bridge in place of the camera window: it opens at once, holds the pages
// a test gives it and uploads them when asked to capture without a window.
#include <opencv2/core.hpp>
#include <vector>

#include "twain/TWAINDS_FreeImage.h"
#include "twain/TWAIN_UI.h"

namespace twaintest {

class TestBridge;

struct BridgeScript {
  bool windowOpens = true;
  bool captureUploads = true;
  std::vector<cv::Mat> pages;  // in the window's order
  int transferStarts = 0;
  int transferEnds = 0;
  int shows = 0;
  TestBridge* bridge = nullptr;  // the bridge made last
};

BridgeScript& Script();

class TestBridge : public CTWAIN_UI {
 public:
  explicit TestBridge(CTWAINDS_FreeImage* ds);
  ~TestBridge() override;
  TW_INT16 ShowUI(TW_USERINTERFACE ui, bool uiOnly, bool indicators) override;
  bool OpenCameraWindow(bool) override { return Script().windowOpens; }
  std::vector<cv::Mat> GetImages() override;
  bool OnTransferStart() override;
  bool OnTransferEnd() override;
  bool CaptureWithoutUI() override;
};

// Installs the test bridge for every data source object made in its scope.
class TestBridgeScope {
 public:
  TestBridgeScope();
  ~TestBridgeScope();
};

// A page of the given size filled with one colour (blue, green, red).
cv::Mat Page(int width, int height, cv::Scalar colour = cv::Scalar(40, 120, 200));

}  // namespace twaintest

// The capture pipeline on a fake camera: scaling to the capture size and its
// guards, crops, the picture-in-picture stack and the colour modes.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "twain/PagePipeline.h"

namespace {

using strenvik::CaptureOptions;
using strenvik::PageColour;
using strenvik::ProcessCapture;

class FakeCamera : public strenvik::PageCamera {
 public:
  cv::Mat GetFrame() override { return frame.clone(); }
  std::vector<cv::Mat> GetDocumentImages() override { return documents; }
  void GetResolution(int* w, int* h) override {
    *w = width;
    *h = height;
  }
  bool GetSelection(RECT* out) override {
    *out = selection;
    return selection.right > selection.left;
  }
  cv::Mat GetSecondaryFrame() override { return secondary; }

  cv::Mat frame;
  std::vector<cv::Mat> documents;
  cv::Mat secondary;
  int width = 0, height = 0;
  RECT selection{};
};

// A light page with dark text-like bars, as the camera sends it.
cv::Mat Page(int width, int height) {
  cv::Mat page(height, width, CV_8UC3, cv::Scalar(200, 210, 220));
  for (int y = height / 8; y < height * 7 / 8; y += height / 8)
    cv::rectangle(page, cv::Rect(width / 8, y, width * 3 / 4, std::max(2, height / 40)), cv::Scalar(30, 40, 50),
                  cv::FILLED);
  return page;
}

FakeCamera Camera(int width, int height) {
  FakeCamera camera;
  camera.frame = Page(width, height);
  camera.width = width;
  camera.height = height;
  return camera;
}

TEST(PagePipeline, MainCameraPagesComeOutAtTheCaptureSize) {
  FakeCamera camera = Camera(160, 120);
  CaptureOptions options;
  options.resolutionWidth = 259;
  options.resolutionHeight = 194;
  std::vector<cv::Mat> pages = ProcessCapture(camera, options);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].size(), cv::Size(259, 194)) << "enlarged by 1.62 each way";
  EXPECT_EQ(pages[0].type(), CV_8UC3);

  options.cameraMode = 1;  // the portrait camera keeps its own size
  EXPECT_EQ(ProcessCapture(camera, options)[0].size(), cv::Size(160, 120));

  // Factors within a thousandth of 1 change nothing.
  FakeCamera large = Camera(2000, 10);
  options.cameraMode = 0;
  options.resolutionWidth = 2001;
  options.resolutionHeight = 10;
  EXPECT_EQ(ProcessCapture(large, options)[0].size(), cv::Size(2000, 10));

  // A capture size of -1 (unknown model) or a camera without a size: no scaling, no failure.
  options.resolutionWidth = options.resolutionHeight = -1;
  EXPECT_EQ(ProcessCapture(camera, options)[0].size(), cv::Size(160, 120));
  camera.width = camera.height = 0;
  options.resolutionWidth = 320;
  options.resolutionHeight = 240;
  EXPECT_EQ(ProcessCapture(camera, options)[0].size(), cv::Size(160, 120));

  camera.frame = cv::Mat();
  EXPECT_TRUE(ProcessCapture(camera, options).empty()) << "no frame, no page";
}

TEST(PagePipeline, CropsAndPictureInPicture) {
  FakeCamera camera = Camera(200, 100);
  CaptureOptions options;
  options.cropType = 2;
  camera.selection = RECT{10, 20, 110, 70};
  EXPECT_EQ(ProcessCapture(camera, options)[0].size(), cv::Size(100, 50));
  camera.selection = RECT{};
  EXPECT_EQ(ProcessCapture(camera, options)[0].size(), cv::Size(200, 100)) << "no selection: the whole frame";

  options.cropType = 0;
  options.cameraMode = 2;
  camera.secondary = cv::Mat(30, 250, CV_8UC3, cv::Scalar(0, 0, 255));
  std::vector<cv::Mat> stacked = ProcessCapture(camera, options);
  ASSERT_EQ(stacked.size(), 1u);
  EXPECT_EQ(stacked[0].size(), cv::Size(250, 130)) << "the portrait frame on top, as wide as the wider";

  options.twoImagesInOne = true;  // the preview's own pictures, overlays drawn in
  camera.documents = {Page(40, 30), Page(50, 20)};
  std::vector<cv::Mat> documents = ProcessCapture(camera, options);
  ASSERT_EQ(documents.size(), 2u);
  EXPECT_EQ(documents[1].size(), cv::Size(50, 20));
  camera.documents.clear();
  EXPECT_TRUE(ProcessCapture(camera, options).empty());
}

TEST(PagePipeline, ColourModesGiveThreeChannelPages) {
  FakeCamera camera = Camera(120, 90);
  camera.frame.setTo(cv::Scalar(40, 120, 220), camera.frame == 200);  // coloured paper
  CaptureOptions options;
  options.colour = PageColour::Grey;
  cv::Mat grey = ProcessCapture(camera, options).at(0);
  ASSERT_EQ(grey.channels(), 3);
  std::vector<cv::Mat> channels;
  cv::split(grey, channels);
  EXPECT_EQ(cv::countNonZero(channels[0] != channels[1]), 0);
  EXPECT_EQ(cv::countNonZero(channels[1] != channels[2]), 0);
  // Red weighs 0.299 and blue 0.114 in the grey of a BGR page.
  FakeCamera patches = Camera(120, 90);
  patches.frame.setTo(cv::Scalar(255, 255, 255));
  patches.frame(cv::Rect(0, 0, 20, 20)).setTo(cv::Scalar(0, 0, 255));
  patches.frame(cv::Rect(40, 0, 20, 20)).setTo(cv::Scalar(255, 0, 0));
  const cv::Mat patched = ProcessCapture(patches, options).at(0);
  EXPECT_GT(patched.at<cv::Vec3b>(10, 10)[0], patched.at<cv::Vec3b>(10, 50)[0] + 30);

  options.colour = PageColour::BlackWhite;
  cv::Mat bilevel = ProcessCapture(camera, options).at(0);
  cv::split(bilevel, channels);
  EXPECT_EQ(cv::countNonZero(channels[0] != channels[2]), 0);
  EXPECT_EQ(cv::countNonZero((channels[0] != 0) & (channels[0] != 255)), 0) << "only black and white";
  EXPECT_GT(cv::countNonZero(channels[0] == 0), 0) << "the bars stay black";
}

}  // namespace

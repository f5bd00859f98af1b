#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "imaging/ChangeDetection.h"
#include "imaging/DocumentDetection.h"
#include "scene/Renderer.h"
#include "scene/Script.h"

namespace {

cv::Mat Grey(int rows, int cols, int level) { return cv::Mat(rows, cols, CV_8U, cv::Scalar(level)); }

TEST(IsSameScene, OnlyComparableFramesCanBeTheSame) {
  cv::Mat frame(60, 80, CV_8UC3);
  cv::randu(frame, 0, 256);
  EXPECT_TRUE(IsSameScene(frame, frame.clone(), 0.0f, 50));
  EXPECT_FALSE(IsSameScene(frame, cv::Mat(), 0.5f, 50));
  EXPECT_FALSE(IsSameScene(cv::Mat(), cv::Mat(), 0.5f, 50));
  EXPECT_FALSE(IsSameScene(frame, frame(cv::Rect(0, 0, 80, 59)).clone(), 0.5f, 50));
  cv::Mat grey;
  cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
  EXPECT_FALSE(IsSameScene(frame, grey, 0.5f, 50)) << "channel counts differ";
  EXPECT_TRUE(IsSameScene(grey, grey.clone(), 0.0f, 50)) << "one channel works";
}

TEST(IsSameScene, ADifferenceOfExactlyTheThresholdIsNoChange) {
  EXPECT_TRUE(IsSameScene(Grey(40, 40, 100), Grey(40, 40, 150), 0.0f, 50));
  EXPECT_FALSE(IsSameScene(Grey(40, 40, 100), Grey(40, 40, 151), 0.5f, 50));
}

TEST(IsSameScene, AnyOneChannelCounts) {
  cv::Mat a(40, 40, CV_8UC3, cv::Scalar(100, 100, 100)), b = a.clone();
  b(cv::Rect(5, 5, 30, 30)).setTo(cv::Scalar(100, 100, 200));
  EXPECT_FALSE(IsSameScene(a, b, 0.1f, 50));
}

TEST(IsSameScene, ScatteredSinglePixelsAddNoArea) {
  cv::Mat a = Grey(60, 60, 0), b = a.clone();
  for (int y = 2; y < 58; y += 3)
    for (int x = 2; x < 58; x += 3) b.at<uchar>(y, x) = 255;
  EXPECT_TRUE(IsSameScene(a, b, 0.0f, 50));
}

TEST(IsSameScene, ChangedAreaIsMeasuredByOuterOutlinesAgainstAnInclusiveLimit) {
  // 80 x 80 with a share of 1/16: the limit is exactly 400. A 21 x 21 blob's
  // outline encloses 20 x 20 = 400.
  const cv::Mat before = Grey(80, 80, 0);
  cv::Mat solid = before.clone();
  solid(cv::Rect(30, 30, 21, 21)).setTo(255);
  cv::Mat ring = solid.clone();
  ring(cv::Rect(35, 35, 11, 11)).setTo(0);
  const float limit = 1.0f / 16.0f, justBelow = std::nextafter(limit, 0.0f);
  for (const cv::Mat& after : {solid, ring}) {
    EXPECT_TRUE(IsSameScene(before, after, limit, 50)) << "equal to the limit";
    EXPECT_FALSE(IsSameScene(before, after, justBelow, 50)) << "above it; a hole does not count";
  }
}

TEST(HasDocument, NeedsADocumentCoveringMoreThanTheShare) {
  vqscene::Scene scene = vqscene::SingleSheet({640, 480}, {320, 240}, {250, 330}, 8);
  scene.noiseSigma = 2;
  const cv::Mat frame = vqscene::RenderScene(scene);
  cv::RotatedRect rect;
  ASSERT_TRUE(FindDocumentRect(&rect, 9, 3, 0.2f, 0.03f, frame, 8.0));
  const double share = double(rect.size.width) * rect.size.height / (double(frame.rows) * frame.cols);
  EXPECT_FALSE(HasDocument(frame, share, 8.0, 9, 3)) << "exactly the share is not more";
  EXPECT_TRUE(HasDocument(frame, share * 0.999, 8.0, 9, 3));
  EXPECT_TRUE(HasDocument(frame, 0.04, 8.0, 9, 3));
  EXPECT_FALSE(HasDocument(frame, 0.5, 8.0, 9, 3));

  scene.sheets.clear();
  EXPECT_FALSE(HasDocument(vqscene::RenderScene(scene), 0.04, 8.0, 9, 3));
  EXPECT_FALSE(HasDocument(cv::Mat(), 0.04, 8.0, 9, 3));
}

TEST(EstimatePaperBrightness, TakesTheFifthOfTheBrightPixels) {
  cv::Mat image = Grey(10, 10, 20);
  const int values[12] = {207, 203, 211, 200, 205, 209, 201, 210, 204, 202, 206, 208};
  for (int i = 0; i < 12; ++i) image.at<uchar>(i / 5 * 3, i % 5 * 2) = uchar(values[i]);
  EXPECT_EQ(EstimatePaperBrightness(image), 202) << "position 12 / 5 = 2 of the sorted bright values";
  cv::Mat colour;
  cv::cvtColor(image, colour, cv::COLOR_GRAY2BGR);
  EXPECT_EQ(EstimatePaperBrightness(colour), 202);
}

TEST(EstimatePaperBrightness, UniformAndUnusableFrames) {
  EXPECT_EQ(EstimatePaperBrightness(Grey(10, 10, 77)), 77);
  EXPECT_EQ(EstimatePaperBrightness(cv::Mat()), -1);
  EXPECT_EQ(EstimatePaperBrightness(cv::Mat(4, 4, CV_8UC4, cv::Scalar::all(9))), -1);
  EXPECT_EQ(EstimatePaperBrightness(cv::Mat(4, 4, CV_16U, cv::Scalar(9))), -1);
}

// The continuous-shooting thread's view: frames shrunk to 0.2 of the camera
// size, compared 800 ms apart.
class ShootingView {
 public:
  explicit ShootingView(const vqscene::SceneScript& script) : script_(script) {}
  cv::Mat At(double t) const {
    cv::Mat small;
    cv::resize(script_.FrameAt(t), small, {}, 0.2, 0.2, cv::INTER_LINEAR);
    return small;
  }
  bool Still(double t) const { return IsSameScene(At(t - 0.8), At(t), 0.05f, 50); }
  bool Document(double t) const { return HasDocument(At(t), 0.04, 8.0, 9, 3); }

 private:
  const vqscene::SceneScript& script_;
};

TEST(ChangeDetection, TellsAStillNewDocumentFromAMovingHandAndAnUnchangedScene) {
  vqscene::Scene look = vqscene::EmptyDesk({1280, 960});
  look.noiseSigma = 3;
  vqscene::SceneScript script(look, 5);
  script.Wait(3)                                                              // 0 - 3
      .HandPasses(2)                                                          // 3 - 5
      .LaySheet(5, vqscene::PlaceSheet({600, 450}, {520, 700}, -12, 1))       // 5 - 10
      .Wait(3)                                                                // 10 - 13
      .HandPasses(2)                                                          // 13 - 15
      .LaySheet(6, vqscene::PlaceSheet({700, 500}, {700, 520}, 20, 2))        // 15 - 21
      .Wait(3);                                                               // 21 - 24
  const ShootingView view(script);

  // An unchanged empty desk: still, but nothing to shoot.
  EXPECT_TRUE(view.Still(2.5));
  EXPECT_FALSE(view.Document(2.5));
  // A hand moving in over the desk, and over a resting sheet: not still.
  EXPECT_FALSE(view.Still(3.8));
  EXPECT_FALSE(view.Still(13.8));
  // The sheet being brought in: not still.
  EXPECT_FALSE(view.Still(6.6));
  // The first sheet at rest: still, a document, and a new scene.
  EXPECT_TRUE(view.Still(12.5));
  EXPECT_TRUE(view.Document(12.5));
  EXPECT_FALSE(IsSameScene(view.At(2.5), view.At(12.5), 0.05f, 50));
  // The second sheet at rest after the swap: still, a document, new again.
  EXPECT_TRUE(view.Still(23.5));
  EXPECT_TRUE(view.Document(23.5));
  EXPECT_FALSE(IsSameScene(view.At(12.5), view.At(23.5), 0.05f, 50));
}

}  // namespace

// The data source's zoom engine without a window: fit and ladder edge
// cases, the anchors of the wheel, drag clamping, pages of every layout.
#include "twain/ZoomImageView.h"

#include <gtest/gtest.h>

#include "capture/ViewRendering.h"

namespace {

using strenvik::CZoomImageView;

cv::Vec3b CleanAt(const CZoomImageView& view, int x, int y) {
  CImage& clean = const_cast<CImage&>(view.GetCleanBuffer());
  return vqcapture::WrapImage(clean).at<cv::Vec3b>(y, x);
}

void Wheel(CZoomImageView& view, int x, int y, short delta) {
  view.OnMouseMove(0, x, y);
  view.OnMouseWheel(0, delta, 0, 0);
}

// A picture whose every pixel differs from its neighbours.
cv::Mat Gradient(int width, int height) {
  cv::Mat page(height, width, CV_8UC3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) page.at<cv::Vec3b>(y, x) = cv::Vec3b(uchar(x), uchar(y), uchar(x + y));
  return page;
}

TEST(ZoomImageViewTest, GreyAndTwoChannelPagesShowAsGreyAndTheSameSizeKeepsTheView) {
  CZoomImageView view;
  view.Resize(0, 400, 300);
  view.SetImage(cv::Mat(600, 800, CV_8UC1, cv::Scalar(77)));
  EXPECT_FLOAT_EQ(view.GetZoom(), 0.5f);
  EXPECT_TRUE(view.IsFitMode());
  EXPECT_EQ(view.GetDestinationRect(), CRect(0, 0, 400, 300));
  EXPECT_EQ(CleanAt(view, 10, 10), cv::Vec3b(77, 77, 77));

  Wheel(view, 100, 100, 120);  // picture (200, 200) stays under the mouse
  EXPECT_FLOAT_EQ(view.GetZoom(), 1.0f);
  EXPECT_FALSE(view.IsFitMode());
  EXPECT_EQ(view.GetViewRect(), CRect(100, 100, 500, 400));

  // Two channels: the first is the grey, the rows are never over-read.
  view.SetImage(cv::Mat(600, 800, CV_8UC2, cv::Scalar(200, 9)));
  EXPECT_FLOAT_EQ(view.GetZoom(), 1.0f);
  EXPECT_EQ(view.GetViewRect(), CRect(100, 100, 500, 400));
  EXPECT_EQ(CleanAt(view, 10, 10), cv::Vec3b(200, 200, 200));
  // Four channels and 16 bits are converted too.
  view.SetImage(cv::Mat(600, 800, CV_8UC4, cv::Scalar(1, 2, 3, 4)));
  EXPECT_EQ(CleanAt(view, 10, 10), cv::Vec3b(1, 2, 3));
  view.SetImage(cv::Mat(600, 800, CV_16UC3, cv::Scalar(257 * 10, 257 * 20, 257 * 30)));
  EXPECT_EQ(CleanAt(view, 10, 10), cv::Vec3b(10, 20, 30));

  view.SetImage(cv::Mat());
  EXPECT_EQ(view.GetSource().GetWidth(), 800) << "an empty matrix is ignored";
  view.SetImage(cv::Mat(480, 640, CV_8UC3, cv::Scalar(1, 2, 3)));
  EXPECT_TRUE(view.IsFitMode());
  EXPECT_FLOAT_EQ(view.GetZoom(), 0.625f);
  EXPECT_EQ(view.GetDestinationRect(), CRect(0, 0, 400, 300));
}

TEST(ZoomImageViewTest, SmallPageStaysAtOneToOneCentred) {
  CZoomImageView view;
  view.Resize(0, 400, 300);
  view.SetImage(cv::Mat(50, 100, CV_8UC3, cv::Scalar(9, 9, 9)));
  EXPECT_FLOAT_EQ(view.GetFitZoom(), 1.0f);
  EXPECT_EQ(view.GetDestinationRect(), CRect(150, 125, 250, 175));
  view.ShowActualSize();
  EXPECT_TRUE(view.IsFitMode());
  EXPECT_EQ(view.GetDestinationRect(), CRect(150, 125, 250, 175));
  Wheel(view, 200, 150, 120);
  EXPECT_FLOAT_EQ(view.GetZoom(), 2.0f);
  EXPECT_EQ(view.GetDestinationRect(), CRect(100, 100, 300, 200));
  view.FitToWindow();
  EXPECT_FLOAT_EQ(view.GetZoom(), 1.0f);
}

TEST(ZoomImageViewTest, WheelLadderStopsAtTheFitZoomAndAtTheEnds) {
  CZoomImageView view;
  view.Resize(0, 300, 300);
  view.SetImage(cv::Mat(1000, 1000, CV_8UC3, cv::Scalar(5, 5, 5)));
  EXPECT_FLOAT_EQ(view.GetFitZoom(), 0.3f);
  Wheel(view, 150, 150, -120);
  EXPECT_FLOAT_EQ(view.GetZoom(), 0.3f) << "out in fit mode does nothing";
  const CRect fitted = view.GetViewRect();
  view.OnLButtonDown(0, 150, 150);
  view.OnMouseMove(0, 10, 10);
  view.OnLButtonUp(0, 10, 10);
  EXPECT_EQ(view.GetViewRect(), fitted) << "no panning in fit mode";
  Wheel(view, 150, 150, 120);
  EXPECT_FLOAT_EQ(view.GetZoom(), 0.5f);
  Wheel(view, 150, 150, -120);
  EXPECT_FLOAT_EQ(view.GetZoom(), 0.3f);
  EXPECT_TRUE(view.IsFitMode());

  view.ShowActualSize();
  EXPECT_FALSE(view.IsFitMode());
  Wheel(view, 150, 150, -120);
  EXPECT_FLOAT_EQ(view.GetZoom(), 0.5f);
  const float up[] = {1, 2, 3, 4, 5, 6, 7, 8, 8};
  for (float expected : up) {
    Wheel(view, 150, 150, 120);
    EXPECT_FLOAT_EQ(view.GetZoom(), expected);
  }
  view.ShowActualSize();
  Wheel(view, 150, 150, 120);
  Wheel(view, 150, 150, 120);
  Wheel(view, 150, 150, -120);
  EXPECT_FLOAT_EQ(view.GetZoom(), 2.0f) << "from 3 out gives 2";
  Wheel(view, 150, 150, -120);
  EXPECT_FLOAT_EQ(view.GetZoom(), 1.0f);

  // A fit zoom below 1/8: 1/8 is the floor.
  CZoomImageView tiny;
  tiny.Resize(0, 100, 100);
  tiny.SetImage(cv::Mat(1000, 1000, CV_8UC3, cv::Scalar(5, 5, 5)));
  EXPECT_FLOAT_EQ(tiny.GetFitZoom(), 0.1f);
  Wheel(tiny, 50, 50, 120);
  EXPECT_FLOAT_EQ(tiny.GetZoom(), 0.125f);
  Wheel(tiny, 50, 50, -120);
  EXPECT_FLOAT_EQ(tiny.GetZoom(), 0.125f);
  EXPECT_FALSE(tiny.IsFitMode());
}

TEST(ZoomImageViewTest, WheelAnchorsAtTheMouseOrTheCentreAndOnlyInsideTheControl) {
  CZoomImageView view;
  view.Resize(0, 400, 300);
  view.SetImage(cv::Mat(300, 800, CV_8UC3, cv::Scalar(5, 5, 5)));
  EXPECT_EQ(view.GetDestinationRect(), CRect(0, 75, 400, 225));
  Wheel(view, -5, 10, 120);
  EXPECT_FLOAT_EQ(view.GetZoom(), 0.5f) << "the last mouse point is outside";
  Wheel(view, 200, 10, 120);  // over the grey border: around the picture's centre
  EXPECT_FLOAT_EQ(view.GetZoom(), 1.0f);
  EXPECT_EQ(view.GetViewRect(), CRect(200, 0, 600, 300));
  EXPECT_EQ(view.GetDestinationRect(), CRect(0, 0, 400, 300));
  Wheel(view, 100, 100, 120);  // picture x 300 stays under the mouse
  EXPECT_FLOAT_EQ(view.GetZoom(), 2.0f);
  EXPECT_EQ(view.GetViewRect().left, 600 - 100);
  EXPECT_EQ(view.GetViewRect().top, 200 - 100);
}

TEST(ZoomImageViewTest, DragPansInsideThePageAndScrollingDrawsWhatAFullRenderDraws) {
  const cv::Mat page = Gradient(400, 300);
  CZoomImageView view;
  view.Resize(0, 200, 150);
  view.SetImage(page);
  view.ShowActualSize();
  ASSERT_EQ(view.GetViewRect(), CRect(100, 75, 300, 225));
  view.OnLButtonDown(0, 100, 75);
  EXPECT_TRUE(view.IsDragging());
  view.OnMouseMove(0, 150, 100);
  EXPECT_EQ(view.GetViewRect(), CRect(50, 50, 250, 200));
  CImage& clean = const_cast<CImage&>(view.GetCleanBuffer());
  EXPECT_EQ(cv::norm(vqcapture::WrapImage(clean)(cv::Rect(0, 0, 200, 150)), page(cv::Rect(50, 50, 200, 150)),
                     cv::NORM_INF),
            0);
  view.OnMouseMove(0, 1000, 1000);
  EXPECT_EQ(view.GetViewRect(), CRect(0, 0, 200, 150)) << "the page's edge stops at the control's edge";
  view.OnLButtonUp(0, 1000, 1000);
  EXPECT_FALSE(view.IsDragging());
  view.OnMouseMove(0, 0, 0);
  EXPECT_EQ(view.GetViewRect(), CRect(0, 0, 200, 150)) << "moving without the button pans nothing";
}

TEST(ZoomImageViewTest, ControlWithoutWidthHasFitZoomOneAndOnePixelBuffers) {
  CZoomImageView view;
  view.Resize(0, 0, 100);
  EXPECT_EQ(view.GetCleanBuffer().GetWidth(), 1);
  EXPECT_EQ(view.GetCleanBuffer().GetHeight(), 100);
  view.SetImage(cv::Mat(300, 400, CV_8UC3, cv::Scalar(1, 1, 1)));
  EXPECT_FLOAT_EQ(view.GetFitZoom(), 1.0f);
  view.Resize(0, 200, 150);
  EXPECT_FLOAT_EQ(view.GetZoom(), 0.5f) << "fit mode follows the new size";
}

}  // namespace

// The page thumbnail on its own: which pages it takes, and what it draws
// into its parent's device context.
#include "twain/PageThumbItem.h"

#include <gtest/gtest.h>

#include "capture/ViewRendering.h"
#include "platform/mfc/CImageDraw.h"

namespace {

using strenvik::CPageThumbItem;

TEST(PageThumbItemTest, TakesOnlyColourPagesAndDrawsItsNumberAtTheLowerLeft) {
  CPageThumbItem item(0);
  item.Init(WM_THUMB_NOTIFY, 0, 10, 10, 110, 90, nullptr, true);
  EXPECT_FALSE(item.SetImage(cv::Mat(30, 40, CV_8UC1, cv::Scalar(7))));
  EXPECT_FALSE(item.HasImage()) << "an empty item stays empty";
  ASSERT_TRUE(item.SetImage(cv::Mat(300, 400, CV_8UC3, cv::Scalar(0, 200, 0))));
  // Fitted by width: 2 x trunc(100 / 400 x 300 / 2) high, one pixel in, deflated by one.
  EXPECT_EQ(item.GetPicture().GetWidth(), 100 - 2 - 2);
  EXPECT_EQ(item.GetPicture().GetHeight(), 74 - 2);
  EXPECT_FALSE(item.SetImage(cv::Mat(30, 40, CV_8UC1, cv::Scalar(7))));
  EXPECT_TRUE(item.HasImage()) << "a grey page leaves the picture";
  EXPECT_EQ(item.GetPage().cols, 400);

  // The number " 3 " in red at (left + 15, bottom - text height - 5), over the picture.
  CImage canvas;
  ASSERT_TRUE(canvas.Create(120, -100, 24));
  vqcapture::WrapImage(canvas).setTo(cv::Scalar(255, 255, 255));
  item.m_index = 2;
  CDC dc;
  dc.Attach(vqplatform::GetImageDC(canvas));
  item.Draw(&dc);
  dc.Detach();
  vqplatform::ReleaseImageDC(canvas);
  const cv::Mat drawn = vqcapture::WrapImage(canvas);
  int red = 0, redLeft = 1000, redBottom = 0;
  for (int y = 0; y < drawn.rows; ++y)
    for (int x = 0; x < drawn.cols; ++x)
      if (drawn.at<cv::Vec3b>(y, x) == cv::Vec3b(0, 0, 255)) {
        ++red;
        redLeft = std::min(redLeft, x);
        redBottom = std::max(redBottom, y);
      }
  EXPECT_GT(red, 5);
  EXPECT_GE(redLeft, 25) << "a space before the number";
  EXPECT_LT(redLeft, 40);
  EXPECT_LE(redBottom, 90 - 5);
  EXPECT_GT(redBottom, 60);
  EXPECT_EQ(drawn.at<cv::Vec3b>(50, 60), cv::Vec3b(0, 200, 0)) << "the picture, centred";
  EXPECT_EQ(drawn.at<cv::Vec3b>(10, 50), cv::Vec3b(128, 128, 128)) << "the grey frame";

  // An item without room loses its picture.
  item.SetRect(0, 0, 0, 10);
  EXPECT_FALSE(item.SetImage(cv::Mat(30, 40, CV_8UC3, cv::Scalar(1, 1, 1))));
  EXPECT_FALSE(item.HasImage());
  item.Clear();
  EXPECT_TRUE(item.GetPage().empty());
  EXPECT_EQ(item.m_index, -1);
}

}  // namespace

#include "imaging/ImageEnhancement.h"

#include <gtest/gtest.h>

#include <climits>

#include <opencv2/imgproc.hpp>

namespace {

// Paper lit from the right: brightness falls from 235 to 95 towards the left,
// with dark text lines (ink 20 below the local paper).
cv::Mat ShadowedPage(int width = 640, int height = 480) {
  cv::Mat page(height, width, CV_8UC1);
  for (int col = 0; col < width; ++col) page.col(col).setTo(95 + 140 * col / (width - 1));
  for (int line = 60; line < height - 60; line += 40) {
    for (int col = 60; col < width - 60; col += 14) {
      cv::Mat glyph = page(cv::Rect(col, line, 8, 12));
      glyph -= glyph - cv::Scalar(20);  // ink: value 20
    }
  }
  return page;
}

cv::Mat InkMask(const cv::Mat& page) { return page < 40; }

int CountDifferent(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat difference;
  cv::absdiff(a, b, difference);
  return cv::countNonZero(difference.reshape(1));
}

}  // namespace

TEST(RemoveShadow, FlattensAGradientAndKeepsTheInk) {
  const cv::Mat page = ShadowedPage();
  cv::Mat flat;
  CImageProcess process;
  ASSERT_TRUE(process.RemoveShadow(page, flat, 50));
  ASSERT_EQ(flat.type(), CV_8UC1);
  const cv::Mat paper = ~InkMask(page);
  cv::Scalar mean, deviation;
  cv::meanStdDev(flat, mean, deviation, paper);
  EXPECT_NEAR(mean[0], 245, 6);
  EXPECT_LT(deviation[0], 8);
  // Left and right ends of the paper now agree; before they were 140 apart.
  EXPECT_LT(std::abs(flat.at<uchar>(30, 100) - flat.at<uchar>(30, 540)), 8);
  EXPECT_EQ(cv::norm(flat, page, cv::NORM_INF, InkMask(page)), 0);

  // The threshold only matters for colour pages; out-of-range values act as 50.
  cv::Mat other;
  ASSERT_TRUE(process.RemoveShadow(page, other, 200));
  EXPECT_EQ(CountDifferent(flat, other), 0);
  EXPECT_FALSE(process.RemoveShadow(cv::Mat(), other, 50));
}

TEST(RemoveShadow, ColourPageKeepsStrongColourAndGreysFaintColour) {
  cv::Mat grey = ShadowedPage();
  cv::Mat page;
  cv::cvtColor(grey, page, cv::COLOR_GRAY2BGR);
  page(cv::Rect(300, 20, 60, 30)).setTo(cv::Scalar(40, 40, 220));   // strong red stamp
  page(cv::Rect(400, 20, 60, 30)).setTo(cv::Scalar(200, 200, 220));  // faint tint
  CImageProcess process;
  cv::Mat fifty, defaulted;
  ASSERT_TRUE(process.RemoveShadow(page, fifty, 50));
  ASSERT_TRUE(process.RemoveShadow(page, defaulted, 256));
  EXPECT_EQ(CountDifferent(fifty, defaulted), 0);
  ASSERT_TRUE(process.RemoveShadow(page, defaulted, -1));
  EXPECT_EQ(CountDifferent(fifty, defaulted), 0);
  ASSERT_EQ(fifty.type(), CV_8UC3);
  const cv::Vec3b stamp = fifty.at<cv::Vec3b>(35, 330), tint = fifty.at<cv::Vec3b>(35, 430);
  EXPECT_GT(stamp[2] - stamp[0], 100);
  EXPECT_LE(std::abs(tint[2] - tint[0]), 2);
}

TEST(NormalizeBrightness, ScalesOnlyWhenThePaperIsNotBrighterThanTheTarget) {
  cv::Mat page(200, 300, CV_8UC1, cv::Scalar(250));
  page(cv::Rect(50, 50, 100, 20)).setTo(30);
  CImageProcess process;
  cv::Mat result;
  ASSERT_TRUE(process.NormalizeBrightness(page, result, 240));
  EXPECT_EQ(CountDifferent(result, page), 0);
  result.setTo(0);  // the result is a copy, not the caller's page
  EXPECT_EQ(page.at<uchar>(0, 0), 250);

  // A mean equal to the target is scaled (factor 250 / (250 + 0)), a darker page brightened.
  ASSERT_TRUE(process.NormalizeBrightness(page, result, 250));
  EXPECT_EQ(CountDifferent(result, page), 0);
  const cv::Mat dim = page * 0.8;  // paper 200, ink 24
  ASSERT_TRUE(process.NormalizeBrightness(dim, result, 240));
  EXPECT_EQ(result.at<uchar>(0, 0), 240);
  EXPECT_EQ(result.at<uchar>(55, 60), cvRound(24 * 240.0 / 200));

  cv::Mat colour;
  cv::cvtColor(dim, colour, cv::COLOR_GRAY2BGR);
  ASSERT_TRUE(process.NormalizeBrightness(colour, result, 240));
  EXPECT_EQ(result.at<cv::Vec3b>(0, 0), cv::Vec3b(240, 240, 240));
}

TEST(NormalizeBrightness, PageWithoutABrightPartStaysAsItIs) {
  // Nothing lies above the Otsu level of a black page: no mean to scale by.
  const cv::Mat page(100, 100, CV_8UC1, cv::Scalar(0));
  cv::Mat result;
  CImageProcess process;
  ASSERT_TRUE(process.NormalizeBrightness(page, result, 240));
  EXPECT_EQ(CountDifferent(result, page), 0);
  EXPECT_FALSE(process.NormalizeBrightness(cv::Mat(), result, 240));
}

TEST(Blending, OpacityArithmeticAndClamping) {
  CImageProcess process;
  cv::Mat page(10, 10, CV_8UC3, cv::Scalar(100, 100, 100));
  const cv::Mat overlay(4, 4, CV_8UC3, cv::Scalar(200, 0, 51));
  ASSERT_TRUE(process.BlendAt(page, overlay, 2, 3, 30, cv::Mat()));
  // (o * 30 + d * 70) / 100, truncated.
  EXPECT_EQ(page.at<cv::Vec3b>(3, 2), cv::Vec3b(130, 70, 85));
  EXPECT_EQ(page.at<cv::Vec3b>(6, 5), cv::Vec3b(130, 70, 85));
  EXPECT_EQ(page.at<cv::Vec3b>(7, 5), cv::Vec3b(100, 100, 100));
  EXPECT_EQ(page.at<cv::Vec3b>(3, 6), cv::Vec3b(100, 100, 100));

  cv::Mat full(5, 5, CV_8UC3, cv::Scalar(9, 9, 9)), none = full.clone();
  ASSERT_TRUE(process.BlendAt(full, overlay, 0, 0, 150, cv::Mat()));
  EXPECT_EQ(full.at<cv::Vec3b>(1, 1), cv::Vec3b(200, 0, 51));
  ASSERT_TRUE(process.BlendAt(none, overlay, 0, 0, -5, cv::Mat()));
  EXPECT_EQ(none.at<cv::Vec3b>(1, 1), cv::Vec3b(9, 9, 9));
}

TEST(Blending, MaskClippingAndChannelRules) {
  CImageProcess process;
  cv::Mat page(6, 6, CV_8UC1, cv::Scalar(0));
  cv::Mat overlay(3, 3, CV_8UC3, cv::Scalar(255, 255, 255));
  cv::Mat mask(3, 3, CV_8UC1, cv::Scalar(255));
  mask.at<uchar>(1, 1) = 0;
  // A colour overlay on a grey page is turned grey; masked-out pixels are skipped;
  // the part beyond the page is clipped.
  ASSERT_TRUE(process.BlendAt(page, overlay, 4, -1, 100, mask));
  EXPECT_EQ(page.at<uchar>(0, 4), 255);
  EXPECT_EQ(page.at<uchar>(0, 5), 0);  // mask 0 at (1, 1)
  EXPECT_EQ(page.at<uchar>(1, 5), 255);
  EXPECT_EQ(page.at<uchar>(2, 4), 0);

  // A grey overlay on a colour page is spread to every channel.
  cv::Mat colour(4, 4, CV_8UC3, cv::Scalar(0, 0, 0));
  ASSERT_TRUE(process.BlendAt(colour, cv::Mat(2, 2, CV_8UC1, cv::Scalar(80)), 1, 1, 100, cv::Mat()));
  EXPECT_EQ(colour.at<cv::Vec3b>(2, 2), cv::Vec3b(80, 80, 80));

  // Combinations that cannot be handled, and masks of another size or kind, change nothing.
  cv::Mat fourChannels(4, 4, CV_8UC4, cv::Scalar(1, 2, 3, 4));
  const cv::Mat before = fourChannels.clone();
  EXPECT_FALSE(process.BlendAt(fourChannels, overlay, 0, 0, 100, cv::Mat()));
  EXPECT_FALSE(process.BlendAtCorner(fourChannels, BLEND_CENTER, overlay, 100, cv::Mat()));
  EXPECT_EQ(CountDifferent(fourChannels, before), 0);
  const cv::Mat pageBefore = page.clone();
  EXPECT_FALSE(process.BlendAt(page, overlay, 0, 0, 100, cv::Mat(2, 3, CV_8UC1, cv::Scalar(255))));
  EXPECT_FALSE(process.BlendAt(page, overlay, 0, 0, 100, cv::Mat(3, 3, CV_8UC3, cv::Scalar::all(255))));
  EXPECT_FALSE(process.BlendAtCorner(page, BLEND_TOP_LEFT, overlay, 100, cv::Mat(4, 3, CV_8UC1)));
  EXPECT_FALSE(process.BlendAt(page, cv::Mat(), 0, 0, 100, cv::Mat()));
  EXPECT_EQ(CountDifferent(page, pageBefore), 0);
}

TEST(Blending, CornerPositions) {
  CImageProcess process;
  const cv::Mat mark(2, 3, CV_8UC1, cv::Scalar(255));
  const cv::Point expected[] = {{0, 0}, {6, 0}, {0, 5}, {6, 5}, {3, 2}};
  for (int position = BLEND_TOP_LEFT; position <= BLEND_CENTER; ++position) {
    SCOPED_TRACE(position);
    cv::Mat page(7, 9, CV_8UC1, cv::Scalar(0));
    ASSERT_TRUE(process.BlendAtCorner(page, position, mark, 100, cv::Mat()));
    cv::Mat points;
    cv::findNonZero(page, points);
    EXPECT_EQ(cv::boundingRect(points), cv::Rect(expected[position], mark.size()));
  }
  cv::Mat page(7, 9, CV_8UC1, cv::Scalar(0));
  EXPECT_FALSE(process.BlendAtCorner(page, 5, mark, 100, cv::Mat()));
  EXPECT_TRUE(process.BlendAt(page, mark, INT_MIN, INT_MAX, 100, cv::Mat()));
  EXPECT_TRUE(process.BlendAt(page, mark, 9, 7, 100, cv::Mat()));
  EXPECT_EQ(cv::countNonZero(page), 0);
  // An overlay larger than the page, centred: only the overlapping middle is blended.
  cv::Mat big(11, 13, CV_8UC1, cv::Scalar(0));
  big(cv::Rect(2, 2, 9, 7)).setTo(200);
  ASSERT_TRUE(process.BlendAtCorner(page, BLEND_CENTER, big, 100, cv::Mat()));
  EXPECT_EQ(cv::countNonZero(page == 200), 63);
}

TEST(RemoveSmallSpots, RemovesComponentsBelowTheSize) {
  cv::Mat page(40, 40, CV_8UC1, cv::Scalar(255));
  page(cv::Rect(2, 2, 3, 3)).setTo(0);     // 9 pixels
  page(cv::Rect(10, 2, 5, 2)).setTo(124);  // 10 pixels
  page.at<uchar>(20, 20) = 0;              // two pixels touching at a corner: one component of 2
  page.at<uchar>(21, 21) = 0;
  page(cv::Rect(30, 30, 3, 3)).setTo(125);  // not dark
  cv::Mat result = page.clone();
  ASSERT_TRUE(RemoveSmallSpots(result, 10));
  EXPECT_EQ(result.at<uchar>(3, 3), 255);
  EXPECT_EQ(result.at<uchar>(2, 12), 124);
  EXPECT_EQ(result.at<uchar>(20, 20), 255);
  EXPECT_EQ(result.at<uchar>(31, 31), 125);

  result = page.clone();
  ASSERT_TRUE(RemoveSmallSpots(result, 3));  // the diagonal pair (2) goes, the 9-pixel square stays
  EXPECT_EQ(result.at<uchar>(21, 21), 255);
  EXPECT_EQ(result.at<uchar>(3, 3), 0);
  result = page.clone();
  ASSERT_TRUE(RemoveSmallSpots(result, 0));
  EXPECT_EQ(CountDifferent(result, page), 0);

  cv::Mat colour(4, 4, CV_8UC3, cv::Scalar::all(0));
  EXPECT_FALSE(RemoveSmallSpots(colour, 10));
  EXPECT_EQ(colour.at<cv::Vec3b>(0, 0), cv::Vec3b(0, 0, 0));
}

TEST(RemoveSmallSpots, PageSizedComponentNeedsNoRecursion) {
  cv::Mat dark(1000, 1000, CV_8UC1, cv::Scalar(0));
  ASSERT_TRUE(RemoveSmallSpots(dark, 10));
  EXPECT_EQ(cv::countNonZero(dark), 0);
  ASSERT_TRUE(RemoveSmallSpots(dark, 1000001));
  EXPECT_EQ(cv::countNonZero(dark), 1000000);
}

TEST(BinarizeDocument, UnevenlyLitPageKeepsInkAsInk) {
  const cv::Mat page = ShadowedPage();
  const cv::Mat result = BinarizeDocument(21, page, 301, 0.4);
  ASSERT_EQ(result.type(), CV_8UC1);
  ASSERT_EQ(result.size(), page.size());
  EXPECT_EQ(cv::countNonZero((result != 0) & (result != 255)), 0);
  const cv::Mat ink = InkMask(page);
  EXPECT_EQ(cv::countNonZero(result & ink), 0) << "ink turned to paper";
  // Paper is paper even in the shadow, where its grey (95..) is darker than a fixed cut would allow.
  const cv::Mat paper = ~ink;
  EXPECT_GT(cv::countNonZero(result & paper), 0.97 * cv::countNonZero(paper));
  const cv::Mat shadowPaper = paper(cv::Rect(0, 0, 60, 480));
  EXPECT_EQ(cv::countNonZero(result(cv::Rect(0, 0, 60, 480)) & shadowPaper), cv::countNonZero(shadowPaper));
}

TEST(BinarizeDocument, ColourSmallAndEmptyPages) {
  EXPECT_TRUE(BinarizeDocument(21, cv::Mat(), 301, 0.4).empty());
  cv::Mat colour;
  cv::cvtColor(ShadowedPage(320, 240), colour, cv::COLOR_GRAY2BGR);
  const cv::Mat result = BinarizeDocument(21, colour, 301, 0.5);
  EXPECT_EQ(result.type(), CV_8UC1);
  EXPECT_EQ(result.size(), cv::Size(320, 240));
  const cv::Mat tiny = BinarizeDocument(21, cv::Mat(5, 7, CV_8UC1, cv::Scalar(200)), 301, 0.4);
  EXPECT_EQ(tiny.size(), cv::Size(7, 5));
}

TEST(AdaptiveBinarize, ColourUsesRedGreenBlueOrderWeights) {
  // Pure blue (B, G, R = 255, 0, 0) weighs 0.299 * 255 = 76 as channel 1: brighter
  // than the grey 50 beside it. With blue-green-red weights it would be 29, darker.
  cv::Mat page(40, 40, CV_8UC3, cv::Scalar(50, 50, 50));
  page(cv::Rect(0, 0, 20, 40)).setTo(cv::Scalar(255, 0, 0));
  cv::Mat result;
  AdaptiveBinarize(page, 15, 0, result);
  ASSERT_EQ(result.type(), CV_8UC1);
  EXPECT_EQ(result.at<uchar>(20, 19), 255);
  EXPECT_EQ(result.at<uchar>(20, 20), 0);
  AdaptiveBinarize(page, 14, 0, result);
  EXPECT_TRUE(result.empty());
}

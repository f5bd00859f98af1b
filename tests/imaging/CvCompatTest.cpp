#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "imaging/EnhancementHelpers.h"
#include "tests/support/TestEnv.h"

namespace {

using cvcompat::Contour;

std::vector<cv::Point2f> Corners(const cv::RotatedRect& r) {
  cv::Point2f p[4];
  r.points(p);
  return {p, p + 4};
}

// True when both rectangles cover the same four corners, in any order.
bool SameCorners(const cv::RotatedRect& a, const cv::RotatedRect& b, float tolerance) {
  for (const auto& p : Corners(a)) {
    bool found = false;
    for (const auto& q : Corners(b)) found = found || cv::norm(p - q) <= tolerance;
    if (!found) return false;
  }
  return true;
}

TEST(CvCompat, UprightSquareReportsMinus90) {
  const Contour square{{10, 10}, {50, 10}, {50, 50}, {10, 50}};
  ASSERT_FLOAT_EQ(cv::minAreaRect(square).angle, 90.0f) << "the OpenCV 4 convention this undoes";
  const cv::RotatedRect r = cvcompat::MinAreaRect(square);
  EXPECT_FLOAT_EQ(r.angle, -90.0f);
  EXPECT_FLOAT_EQ(r.size.width, 40.0f);
  EXPECT_FLOAT_EQ(r.size.height, 40.0f);
  EXPECT_FLOAT_EQ(r.center.x, 30.0f);
}

TEST(CvCompat, AnglesComeInTheOldRangeAndDescribeTheSameRectangle) {
  for (float angle : {-89.0f, -60.0f, -45.0f, -7.0f, 0.0f, 7.0f, 23.0f, 45.0f, 80.0f, 90.0f, 135.0f}) {
    const cv::RotatedRect truth({300, 200}, {200, 80}, angle);
    cv::Point2f p[4];
    truth.points(p);
    Contour points;
    for (const auto& q : p) points.emplace_back(cvRound(q.x), cvRound(q.y));
    const cv::RotatedRect r = cvcompat::MinAreaRect(points);
    EXPECT_GE(r.angle, -90.0f) << angle;
    EXPECT_LT(r.angle, 0.0f) << angle;
    EXPECT_TRUE(SameCorners(r, truth, 1.5f)) << angle;
  }
}

TEST(CvCompat, LegacyAngleSwapsSidesPerQuarterTurn) {
  const cv::RotatedRect r = cvcompat::LegacyAngle(cv::RotatedRect({0, 0}, {100, 50}, 30));
  EXPECT_FLOAT_EQ(r.angle, -60.0f);
  EXPECT_FLOAT_EQ(r.size.width, 50.0f);
  EXPECT_FLOAT_EQ(r.size.height, 100.0f);
  const cv::RotatedRect same = cvcompat::LegacyAngle(cv::RotatedRect({0, 0}, {100, 50}, -30));
  EXPECT_FLOAT_EQ(same.angle, -30.0f);
  EXPECT_FLOAT_EQ(same.size.width, 100.0f);
  const cv::RotatedRect upright = cvcompat::LegacyAngle(cv::RotatedRect({0, 0}, {100, 50}, 0));
  EXPECT_FLOAT_EQ(upright.angle, -90.0f);
  EXPECT_FLOAT_EQ(upright.size.width, 50.0f);
}

TEST(CvCompat, ContourSearchIgnoresTheImageBorder) {
  cv::Mat full(40, 60, CV_8U, cv::Scalar(255));
  const auto contours = cvcompat::FindOuterContours(full);
  ASSERT_EQ(contours.size(), 1u);
  EXPECT_EQ(cv::boundingRect(contours[0]), cv::Rect(1, 1, 58, 38));
  EXPECT_EQ(full.at<uchar>(0, 0), 255) << "the caller's mask is left alone";

  cv::Mat frameOnly(40, 60, CV_8U, cv::Scalar(0));
  cv::rectangle(frameOnly, cv::Rect(0, 0, 60, 40), cv::Scalar(255), 1);
  EXPECT_TRUE(cvcompat::FindOuterContours(frameOnly).empty());
  EXPECT_TRUE(cvcompat::FindOuterContours(cv::Mat()).empty());
}

TEST(CvCompat, ContourListFindsHolesButNotTheBorder) {
  // A ring: outer and inner outline. A ring laid on the image edge keeps its
  // outlines off the outermost frame.
  cv::Mat mask(60, 100, CV_8U, cv::Scalar(0));
  mask(cv::Rect(10, 10, 30, 30)).setTo(255);
  mask(cv::Rect(16, 16, 18, 18)).setTo(0);
  mask(cv::Rect(75, 20, 25, 40)).setTo(255);
  mask(cv::Rect(80, 30, 10, 10)).setTo(0);
  EXPECT_EQ(2u, cvcompat::FindOuterContours(mask).size());
  const auto all = cvcompat::FindContourList(mask);
  ASSERT_EQ(4u, all.size());
  std::vector<cv::Rect> boxes;
  for (const auto& c : all) boxes.push_back(cv::boundingRect(c));
  const cv::Rect ring(10, 10, 30, 30);
  EXPECT_EQ(1, std::count(boxes.begin(), boxes.end(), ring));
  EXPECT_EQ(1, std::count_if(boxes.begin(), boxes.end(),
                             [&](const cv::Rect& b) { return b != ring && (b & ring) == b; }))
      << "the ring's hole";
  for (const cv::Rect& box : boxes) {
    EXPECT_GE(box.x, 1);
    EXPECT_LE(box.br().y, 59);
  }
  EXPECT_TRUE(cvcompat::FindContourList(cv::Mat()).empty());
}

TEST(CvCompat, AffineEstimateRecoversAKnownTransform) {
  const cv::Matx23d m(0.9, -0.2, 15.0, 0.3, 1.1, -4.0);
  std::vector<cv::Point2f> from{{0, 0}, {100, 0}, {100, 60}, {0, 60}}, to;
  for (const auto& p : from) to.emplace_back(m * cv::Vec3d(p.x, p.y, 1.0));
  const cv::Mat est = cvcompat::EstimateAffine(from, to);
  ASSERT_EQ(est.rows, 2);
  ASSERT_EQ(est.cols, 3);
  ASSERT_EQ(est.type(), CV_64F);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(est.at<double>(r, c), m(r, c), 1e-6);
}

TEST(CvCompat, AffineEstimateRefusesDegeneratePoints) {
  const std::vector<cv::Point2f> line{{0, 0}, {10, 10}, {20, 20}, {30, 30}};
  EXPECT_TRUE(cvcompat::EstimateAffine(line, line).empty());
  const std::vector<cv::Point2f> two{{0, 0}, {10, 0}};
  EXPECT_TRUE(cvcompat::EstimateAffine(two, two).empty());
  const std::vector<cv::Point2f> three{{0, 0}, {10, 0}, {0, 10}};
  EXPECT_TRUE(cvcompat::EstimateAffine(three, line).empty()) << "sizes differ";
}

// A 5 MP frame at 0.2 becomes 518 x 389 working pixels whose centres lie on
// the factor's grid: working column j samples frame column 5j + 2 exactly.
TEST(CvCompat, ShrinkingByAFactorSamplesOnTheFactorsGrid) {
  cv::Mat ramp(1944, 2592, CV_32FC2);
  for (int y = 0; y < ramp.rows; ++y)
    for (int x = 0; x < ramp.cols; ++x) ramp.at<cv::Vec2f>(y, x) = cv::Vec2f(float(x), float(y));
  for (const cv::Mat& working : {cvcompat::ResizeByFactor(ramp, 0.2f), vq::enhance::ScaledBy(ramp, 0.2)}) {
    ASSERT_EQ(working.size(), cv::Size(518, 389));
    int off = 0;
    for (int i = 0; i < working.rows; ++i)
      for (int j = 0; j < working.cols; ++j) {
        const cv::Vec2f v = working.at<cv::Vec2f>(i, j);
        off += std::abs(v[0] - (5 * j + 2)) > 1e-3f || std::abs(v[1] - (5 * i + 2)) > 1e-3f;
      }
    EXPECT_EQ(off, 0) << "working pixels off the factor's grid";
  }
  // Nothing is left of a 2 x 2 image at 0.2; the enhancement helper keeps one pixel.
  EXPECT_TRUE(cvcompat::ResizeByFactor(cv::Mat(2, 2, CV_8UC1, cv::Scalar(9)), 0.2).empty());
  const cv::Mat tiny = vq::enhance::ScaledBy(cv::Mat(2, 2, CV_8UC1, cv::Scalar(9)), 0.2);
  ASSERT_EQ(tiny.size(), cv::Size(1, 1));
  EXPECT_EQ(tiny.at<uchar>(0, 0), 9);
}

TEST(CvCompat, GuardTurnsExceptionsIntoTheFallback) {
  EXPECT_FALSE(cvcompat::Guarded(false, [] {
    cv::Mat m;
    cv::medianBlur(cv::Mat(10, 10, CV_16U), m, 9);  // apertures above 5 need 8-bit
    return true;
  }));
  EXPECT_EQ(cvcompat::Guarded(0, [] { return 7; }), 7);
}

}  // namespace

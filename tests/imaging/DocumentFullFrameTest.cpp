// The full-size camera frame: sheets found and cut out upright on 2592 x 1944.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "imaging/AutoCrop.h"
#include "imaging/CvCompat.h"
#include "imaging/DocumentDetection.h"
#include "scene/Renderer.h"
#include "tests/imaging/DocumentTestSupport.h"

namespace {

using namespace geometry_test;

const cv::Size kCamera(2592, 1944);

struct MarkedFrame {
  cv::Mat frame;
  cv::RotatedRect sheet;
  cv::Point2f marks[2];  // in the sheet's top-left and top-right margin
};

MarkedFrame SheetAt(float angle) {
  vqscene::Scene scene = vqscene::SingleSheet(kCamera, {1300, 950}, {1100, 1500}, angle);
  scene.noiseSigma = 3;
  scene.blurSigma = 1;
  MarkedFrame m{vqscene::RenderScene(scene), scene.sheets[0].rect, {}};
  const float w = m.sheet.size.width, h = m.sheet.size.height, radius = 0.02f * std::min(w, h);
  for (int i = 0; i < 2; ++i) {
    m.marks[i] = SheetPoint(m.sheet, (i == 0 ? -0.45f : 0.45f) * w, -0.45f * h);
    cv::circle(m.frame, m.marks[i], int(radius), cv::Scalar::all(10), cv::FILLED, cv::LINE_AA);
  }
  return m;
}

// Centroid of the dark pixels near a point of a cut-out; (-1, -1) when none.
cv::Point2f DarkCentroid(const cv::Mat& cut, cv::Point2f near) {
  const cv::Rect window = cv::Rect(cvRound(near.x) - 40, cvRound(near.y) - 40, 81, 81) & cv::Rect(0, 0, cut.cols, cut.rows);
  if (window.area() == 0) return {-1, -1};
  cv::Mat grey, dark;
  cv::cvtColor(cut(window), grey, cv::COLOR_BGR2GRAY);
  cv::threshold(grey, dark, 100, 255, cv::THRESH_BINARY_INV);
  const cv::Moments mo = cv::moments(dark, true);
  if (mo.m00 < 200) return {-1, -1};
  return {float(window.x + mo.m10 / mo.m00), float(window.y + mo.m01 / mo.m00)};
}

// The cut-out shows the sheet upright (its marks level within 1 degree and as
// far apart as on the sheet within 2 %), turned as the cut promises, and
// `inset` pixels of the sheet taken off every side (negative: added).
void ExpectUprightCut(const cv::Mat& cut, const MarkedFrame& m, float inset, const char* what) {
  SCOPED_TRACE(what);
  ASSERT_FALSE(cut.empty());
  const float turn = m.sheet.angle - 90.0f * std::round(m.sheet.angle / 90.0f);
  const bool sidesSwapped = std::fabs(std::round(m.sheet.angle / 90.0f)) == 1.0f;
  const float across = sidesSwapped ? m.sheet.size.height : m.sheet.size.width;
  const float down = sidesSwapped ? m.sheet.size.width : m.sheet.size.height;
  EXPECT_NEAR(cut.cols, across - 2 * inset, 0.02 * across);
  EXPECT_NEAR(cut.rows, down - 2 * inset, 0.02 * down);

  cv::Point2f found[2], expected[2];
  for (int i = 0; i < 2; ++i) {
    expected[i] = InCutOut(m.marks[i], m.sheet, turn, cut.size());
    found[i] = DarkCentroid(cut, expected[i]);
    ASSERT_GE(found[i].x, 0) << "mark " << i << " not where it belongs: the page is turned";
  }
  const cv::Point2f want = expected[1] - expected[0], got = found[1] - found[0];
  const double tilt = (std::atan2(got.y, got.x) - std::atan2(want.y, want.x)) * 180.0 / CV_PI;
  EXPECT_LT(std::fabs(tilt), 1.0);
  EXPECT_NEAR(cv::norm(got), cv::norm(want), 0.02 * cv::norm(want));
}

class FullFrameSheet : public ::testing::TestWithParam<float> {};

TEST_P(FullFrameSheet, IsFoundAndCutOutUpright) {
  const MarkedFrame m = SheetAt(GetParam());

  cv::RotatedRect rect;
  std::vector<cv::Point> outline;
  ASSERT_TRUE(FindDocumentRectAndContour(&rect, 9, 3, &outline, 0.2f, 0.01f, m.frame, 8.0));
  EXPECT_GE(rect.angle, -90.0f);
  EXPECT_LT(rect.angle, 0.0f);
  const RectError e = Compare(rect, m.sheet);
  EXPECT_LT(e.angle, 1.0);
  EXPECT_LT(e.width, 0.02);
  EXPECT_LT(e.height, 0.02);
  EXPECT_LT(e.centre, 10.0);
  EXPECT_FALSE(outline.empty());

  cv::Mat cut;
  ASSERT_TRUE(AutoCropDocument(m.frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &cut));
  ExpectUprightCut(cut, m, 20, "automatic crop, margin 20");
  ASSERT_TRUE(AutoCropDocument(m.frame, 0.01f, -10, 0.2f, 3, 9, 8.0, &cut));
  ExpectUprightCut(cut, m, -10, "automatic crop, margin -10");
  ASSERT_TRUE(AutoCropDocumentAffine(m.frame, 0.2f, 10, 3, 9, 8.0, &cut));
  ExpectUprightCut(cut, m, 10, "affine crop, margin 10");
}

INSTANTIATE_TEST_SUITE_P(Angles, FullFrameSheet, ::testing::Values(0.0f, 7.0f, -23.0f, 90.0f));

// The sheet (if any) whose centre lies near a point.
const vqscene::Sheet* SheetNear(const vqscene::Scene& scene, cv::Point2f p) {
  for (const auto& s : scene.sheets)
    if (cv::norm(s.rect.center - p) < 20) return &s;
  return nullptr;
}

vqscene::Scene ThreeSheets(bool text) {
  vqscene::Scene scene = vqscene::EmptyDesk(kCamera);
  scene.noiseSigma = 3;
  // Their top corners lie at clearly different heights: about 135, 875 and 380.
  scene.sheets = {vqscene::PlaceSheet({450, 560}, {560, 780}, 8, 1),
                  vqscene::PlaceSheet({1300, 1350}, {600, 820}, -15, 2),
                  vqscene::PlaceSheet({2150, 900}, {620, 860}, 25, 3)};
  for (auto& sheet : scene.sheets) sheet.text = text;
  return scene;
}

TEST(FullFrame, ThreeSheetsGiveThreeRectanglesInContourOrder) {
  const vqscene::Scene scene = ThreeSheets(false);
  const cv::Mat frame = vqscene::RenderScene(scene);
  std::vector<cv::RotatedRect> rects;
  ASSERT_TRUE(FindDocumentRects(&rects, 9, 3, 0.2f, 0.01f, frame, 8.0));
  ASSERT_EQ(rects.size(), 3u);
  // Each closed outline is one region; the contour search lists the region
  // whose top it meets last first: the middle sheet, the right one, the left.
  const int expected[3] = {1, 2, 0};
  for (size_t i = 0; i < 3; ++i) {
    const cv::RotatedRect& truth = scene.sheets[expected[i]].rect;
    const RectError e = Compare(rects[i], truth);
    EXPECT_LT(e.centre, 15.0) << i;
    EXPECT_LT(e.angle, 1.0) << i;
    EXPECT_LT(e.width, 0.02) << i;
    EXPECT_LT(e.height, 0.02) << i;
  }
}

TEST(FullFrame, ThreeWrittenSheetsAreFoundAndCutOut) {
  const vqscene::Scene scene = ThreeSheets(true);
  const cv::Mat frame = vqscene::RenderScene(scene);
  std::vector<cv::RotatedRect> rects;
  ASSERT_TRUE(FindDocumentRects(&rects, 9, 3, 0.2f, 0.01f, frame, 8.0));
  ASSERT_EQ(rects.size(), 3u);
  std::vector<const vqscene::Sheet*> seen;
  for (const auto& rect : rects) {
    const vqscene::Sheet* sheet = SheetNear(scene, rect.center);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), sheet), 0);
    seen.push_back(sheet);
    const RectError e = Compare(rect, sheet->rect);
    EXPECT_LT(e.angle, 1.0);
    EXPECT_LT(e.width, 0.02);
    EXPECT_LT(e.height, 0.02);
  }
  std::vector<cv::Mat> cuts{cv::Mat()};
  ASSERT_TRUE(AutoCropDocuments(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &cuts));
  ASSERT_EQ(cuts.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(cuts[i].cols, int(Canonical(rects[i]).size.width) - 40) << i;
    EXPECT_EQ(cuts[i].rows, int(Canonical(rects[i]).size.height) - 40) << i;
  }
}

TEST(FullFrame, EmptyDeskHasNoDocument) {
  vqscene::Scene scene = vqscene::EmptyDesk(kCamera);
  scene.noiseSigma = 3;
  scene.blurSigma = 1;
  const cv::Mat frame = vqscene::RenderScene(scene);
  cv::RotatedRect rect(cv::Point2f(1, 2), cv::Size2f(3, 4), -5);
  std::vector<cv::Point> outline{{7, 7}};
  EXPECT_FALSE(FindDocumentRectAndContour(&rect, 9, 3, &outline, 0.2f, 0.01f, frame, 8.0));
  EXPECT_EQ(rect.center, cv::Point2f(1, 2)) << "untouched";
  EXPECT_EQ(outline.size(), 1u);
  std::vector<cv::RotatedRect> rects{rect};
  EXPECT_FALSE(FindDocumentRects(&rects, 9, 3, 0.2f, 0.01f, frame, 8.0));
  EXPECT_TRUE(rects.empty());
  cv::Mat cut = frame;
  EXPECT_FALSE(AutoCropDocument(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &cut));
  EXPECT_EQ(cut.data, frame.data) << "the frame stays when nothing is found";
  EXPECT_FALSE(AutoCropDocumentAffine(frame, 0.2f, 10, 3, 9, 8.0, &cut));
  EXPECT_EQ(cut.data, frame.data);
}

}  // namespace

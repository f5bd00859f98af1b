#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "imaging/AutoCrop.h"
#include "imaging/DarkBorder.h"
#include "imaging/DocumentDetection.h"
#include "imaging/RectCut.h"
#include "imaging/SheetCorners.h"
#include "scene/PrintedPage.h"
#include "scene/Renderer.h"
#include "tests/imaging/DocumentTestSupport.h"

namespace {

using namespace geometry_test;

const cv::Size kFrame(800, 600);

cv::Mat Render(vqscene::Sheet sheet, bool text = true) {
  vqscene::Scene scene = vqscene::EmptyDesk(kFrame);
  scene.noiseSigma = 2;
  sheet.text = text;
  scene.sheets = {sheet};
  return vqscene::RenderScene(scene);
}

// A grey picture with one bright rotated rectangle on it.
cv::Mat BrightRect(const cv::RotatedRect& r) {
  cv::Mat image(400, 400, CV_8UC3, cv::Scalar::all(40));
  cv::Point2f p[4];
  r.points(p);
  std::vector<cv::Point> corners(p, p + 4);
  cv::fillConvexPoly(image, corners, cv::Scalar::all(220), cv::LINE_AA);
  return image;
}

// Mean and spread of a cut-out away from its outer 3 pixels.
void ExpectUniformlyBright(const cv::Mat& cut) {
  ASSERT_GT(cut.rows, 6);
  ASSERT_GT(cut.cols, 6);
  cv::Scalar mean, sd;
  cv::meanStdDev(cut(cv::Rect(3, 3, cut.cols - 6, cut.rows - 6)), mean, sd);
  EXPECT_GT(mean[0], 215);
  EXPECT_LT(sd[0], 4);
}

TEST(RectCut, SteepAngleTurnsTheShortWayWithSidesSwapped) {
  const cv::RotatedRect r({200, 200}, {200, 100}, -80);
  const cv::Mat cut = ExtractRotatedRect(r, BrightRect(r));
  EXPECT_EQ(cut.rows, 200) << "width rows";
  EXPECT_EQ(cut.cols, 100) << "height columns";
  ExpectUniformlyBright(cut);  // turned by 10 degrees: the rectangle fills it

  const cv::RotatedRect r50({200, 200}, {200, 100}, 50);
  const cv::Mat cut50 = CutRotatedRect(BrightRect(r50), r50);
  EXPECT_EQ(cut50.rows, 200);
  EXPECT_EQ(cut50.cols, 100);
  ExpectUniformlyBright(cut50);

  const cv::RotatedRect flat({200, 200}, {200, 100}, -20);
  const cv::Mat cutFlat = CutRotatedRect(BrightRect(flat), flat);
  EXPECT_EQ(cutFlat.rows, 100);
  EXPECT_EQ(cutFlat.cols, 200);
  ExpectUniformlyBright(cutFlat);
}

TEST(RectCut, PartsBeyondTheFrameComeOutWhite) {
  const cv::Mat image(400, 400, CV_8UC3, cv::Scalar::all(40));
  const cv::Mat cut = CutRotatedRect(image, cv::RotatedRect({380, 200}, {100, 60}, 0));
  ASSERT_EQ(cut.size(), cv::Size(100, 60));
  EXPECT_EQ(cut.at<cv::Vec3b>(30, 90), cv::Vec3b(255, 255, 255));
  EXPECT_EQ(cut.at<cv::Vec3b>(30, 10), cv::Vec3b(40, 40, 40));
}

TEST(RectCut, DegenerateRectanglesGiveEmptyCutOuts) {
  const cv::Mat image(100, 100, CV_8UC3, cv::Scalar::all(90));
  EXPECT_TRUE(CutRotatedRect(image, cv::RotatedRect({50, 50}, {0.5f, 40}, 0)).empty());
  EXPECT_TRUE(ExtractRotatedRect(cv::RotatedRect({50, 50}, {0.5f, 40}, 0), image).empty()) << "no columns";
  EXPECT_TRUE(ExtractRotatedRect(cv::RotatedRect({50, 50}, {40, -3}, 0), image).empty());
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(ExtractRotatedRect(cv::RotatedRect({50, 50}, {40, 40}, nan), image).empty());
  EXPECT_TRUE(CutRotatedRect(image, cv::RotatedRect({50, 50}, {nan, 40}, 0)).empty());
  EXPECT_TRUE(ExtractRotatedRect(cv::RotatedRect({50, 50}, {40, 40}, 0), cv::Mat()).empty());
  const cv::Mat grey(100, 100, CV_8U, cv::Scalar(90));
  EXPECT_EQ(CutRotatedRect(grey, cv::RotatedRect({50, 50}, {40, 20}, 0)).type(), CV_8U);
}

TEST(RectCut, RotatesPointsAboutTheCentre) {
  const cv::Point2f p = RotatePointAboutCentre(cv::RotatedRect({100, 50}, {10, 10}, 90), 110, 50);
  EXPECT_NEAR(p.x, 100, 1e-4);
  EXPECT_NEAR(p.y, 60, 1e-4);
}

TEST(CropRect, ClipsToTheImageAndRefusesWhatLiesOutside) {
  cv::Mat image(50, 60, CV_8UC3);
  cv::randu(image, 0, 256);
  std::vector<cv::Mat> out;
  ASSERT_TRUE(CropRect(image, &out, -10, 5, 50, 20));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].size(), cv::Size(40, 20));
  EXPECT_EQ(cv::norm(out[0], image(cv::Rect(0, 5, 40, 20)), cv::NORM_INF), 0);
  EXPECT_NE(out[0].data, image.data) << "a copy";
  ASSERT_TRUE(CropRect(image, &out, 50, 40, 100, 100));
  EXPECT_EQ(out[1].size(), cv::Size(10, 10));
  EXPECT_FALSE(CropRect(image, &out, -100, 0, 50, 20)) << "wholly left of the image";
  EXPECT_FALSE(CropRect(image, &out, 0, 60, 10, 10)) << "below it";
  EXPECT_FALSE(CropRect(image, &out, 10, 10, 0, 10));
  EXPECT_FALSE(CropRect(image, &out, 2147483600, 0, 1000, 10)) << "no wrap-around";
  EXPECT_FALSE(CropRect(cv::Mat(), &out, 0, 0, 10, 10));
  EXPECT_EQ(out.size(), 2u);
}

TEST(FillDarkBorder, WhitensTheDarkEdgeOnlyWithinTheBorderBand) {
  cv::Mat mask(300, 300, CV_8U, cv::Scalar(255));
  mask.setTo(0);
  mask(cv::Rect(80, 80, 140, 140)).setTo(255);  // a dark frame 80 pixels thick
  mask(cv::Rect(140, 140, 20, 20)).setTo(0);    // a dark blob in the middle
  ASSERT_TRUE(FillDarkBorder(mask));
  EXPECT_EQ(mask.at<uchar>(150, 10), 255);
  EXPECT_EQ(mask.at<uchar>(150, 50), 255);
  EXPECT_EQ(mask.at<uchar>(20, 150), 255);
  EXPECT_EQ(mask.at<uchar>(150, 65), 0) << "beyond the band";
  EXPECT_EQ(mask.at<uchar>(150, 240), 0);
  EXPECT_EQ(mask.at<uchar>(150, 150), 0) << "the blob stays";

  cv::Mat empty;
  EXPECT_FALSE(FillDarkBorder(empty));
  cv::Mat colour(10, 10, CV_8UC3, cv::Scalar::all(0));
  EXPECT_FALSE(FillDarkBorder(colour));
  EXPECT_EQ(cv::countNonZero(colour.reshape(1)), 0);
}

TEST(FillDarkBorder, CopesWithAWhollyDarkLargeMask) {
  cv::Mat mask(1000, 1000, CV_8U, cv::Scalar(0));
  ASSERT_TRUE(FillDarkBorder(mask));
  EXPECT_EQ(mask.at<uchar>(500, 20), 255);
  EXPECT_EQ(mask.at<uchar>(500, 500), 0);
}

struct Found {
  cv::RotatedRect rect;
  double coverage;
};

Found Detect(const cv::Mat& frame, float minAreaRatio = 0.01f) {
  cv::RotatedRect rect;
  EXPECT_TRUE(FindDocumentRect(&rect, 9, 3, 0.2f, minAreaRatio, frame, 8.0));
  return {rect, double(rect.size.area()) / frame.total()};
}

TEST(AutoCropDocument, TrimsOnlyDocumentsCoveringEnoughOfTheFrame) {
  const cv::Mat small = Render(vqscene::PlaceSheet({400, 300}, {130, 185}, 4));
  const Found s = Detect(small);
  ASSERT_LT(s.coverage, 0.08);
  cv::Mat cut;
  ASSERT_TRUE(AutoCropDocument(small, 0.01f, 20, 0.2f, 3, 9, 8.0, &cut));
  EXPECT_EQ(cut.size(), ExtractRotatedRect(s.rect, small).size()) << "untrimmed";

  const cv::Mat large = Render(vqscene::PlaceSheet({400, 300}, {320, 450}, 4));
  const Found l = Detect(large);
  ASSERT_GT(l.coverage, 0.25);
  ASSERT_TRUE(AutoCropDocument(large, 0.01f, 20, 0.2f, 3, 9, 8.0, &cut));
  const cv::Mat whole = ExtractRotatedRect(l.rect, large);
  ASSERT_EQ(cut.size(), cv::Size(whole.cols - 40, whole.rows - 40));
  EXPECT_EQ(cv::norm(cut, whole(cv::Rect(20, 20, whole.cols - 40, whole.rows - 40)), cv::NORM_INF), 0);
}

TEST(AutoCropDocument, NegativeMarginWidensTheRectangle) {
  const cv::Mat frame = Render(vqscene::PlaceSheet({400, 300}, {320, 450}, -6));
  const Found f = Detect(frame);
  cv::Mat cut;
  ASSERT_TRUE(AutoCropDocument(frame, 0.01f, -10, 0.2f, 3, 9, 8.0, &cut));
  cv::RotatedRect grown = f.rect;
  grown.size += cv::Size2f(20, 20);
  EXPECT_EQ(cut.size(), ExtractRotatedRect(grown, frame).size());
  // Widened past the frame edge the outside comes out white.
  const cv::Mat edge = Render(vqscene::PlaceSheet({200, 300}, {320, 450}, 0));
  ASSERT_TRUE(AutoCropDocument(edge, 0.01f, -120, 0.2f, 3, 9, 8.0, &cut));
  EXPECT_EQ(cut.at<cv::Vec3b>(cut.rows / 2, 2), cv::Vec3b(255, 255, 255));
}

TEST(AutoCropDocument, NothingLeftToCutGivesFalseAndLeavesTheOutputAlone) {
  const cv::Mat frame = Render(vqscene::PlaceSheet({400, 300}, {320, 450}, 3));
  cv::Mat out(5, 5, CV_8U, cv::Scalar(7));
  EXPECT_FALSE(AutoCropDocument(frame, 0.01f, 400, 0.2f, 3, 9, 8.0, &out)) << "margin over half the cut-out";
  EXPECT_EQ(out.size(), cv::Size(5, 5));
  EXPECT_FALSE(AutoCropDocument(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, nullptr));
  EXPECT_FALSE(AutoCropDocument(cv::Mat(), 0.01f, 20, 0.2f, 3, 9, 8.0, &out));
  cv::Mat deep;
  frame.convertTo(deep, CV_16U);
  EXPECT_FALSE(AutoCropDocument(deep, 0.01f, 20, 0.2f, 3, 9, 8.0, &out));
  EXPECT_EQ(out.at<uchar>(0, 0), 7);

  EXPECT_FALSE(AutoCropDocument(frame, 0.01f, std::numeric_limits<int>::max(), 0.2f, 3, 9, 8.0, &out));
  EXPECT_FALSE(AutoCropDocument(frame, 0.01f, std::numeric_limits<int>::min(), 0.2f, 3, 9, 8.0, &out))
      << "a rectangle grown past any size";
  EXPECT_EQ(out.at<uchar>(0, 0), 7);

  std::vector<cv::Mat> cuts{out};
  EXPECT_FALSE(AutoCropDocuments(frame, 0.01f, 400, 0.2f, 3, 9, 8.0, &cuts));
  EXPECT_TRUE(cuts.empty());
}

TEST(AutoCropDocument, OneChannelFramesGiveOneChannelPages) {
  cv::Mat grey;
  cv::cvtColor(Render(vqscene::PlaceSheet({400, 300}, {320, 450}, 12)), grey, cv::COLOR_BGR2GRAY);
  cv::Mat cut;
  ASSERT_TRUE(AutoCropDocument(grey, 0.01f, 20, 0.2f, 3, 9, 8.0, &cut));
  EXPECT_EQ(cut.type(), CV_8U);
  ASSERT_TRUE(AutoCropDocumentAffine(grey, 0.2f, 10, 3, 9, 8.0, &cut));
  EXPECT_EQ(cut.type(), CV_8U);
  std::vector<cv::Mat> cuts;
  ASSERT_TRUE(AutoCropDocuments(grey, 0.01f, 20, 0.2f, 3, 9, 8.0, &cuts));
  EXPECT_EQ(cuts.size(), 1u);
}

// A blank sheet lifted toward the camera by `tilt` degrees and turned by
// `angle`, under even light.
cv::Mat TiltedSheet(float tilt, float angle) {
  vqscene::DeskLight light;
  light.shadow = false;
  light.vignetting = 0.0;
  const cv::Mat print(vqscene::SheetPixels(kFrame, false), CV_8U, cv::Scalar::all(255));
  return vqscene::RenderScene(vqscene::PhotographedSheet(print, kFrame, angle, light, 3, tilt));
}

// The darkest grey in a square of `side` pixels at each corner of a cut-out.
std::vector<double> CornerDarkness(const cv::Mat& cut, int side) {
  std::vector<double> darkest;
  for (const cv::Point corner : {cv::Point(0, 0), cv::Point(cut.cols - side, 0), cv::Point(0, cut.rows - side),
                                 cv::Point(cut.cols - side, cut.rows - side)}) {
    cv::Mat grey;
    cv::cvtColor(cut(cv::Rect(corner, cv::Size(side, side))), grey, cv::COLOR_BGR2GRAY);
    double lo, hi;
    cv::minMaxLoc(grey, &lo, &hi);
    darkest.push_back(lo);
  }
  return darkest;
}

class TiltedSheetCrop : public ::testing::TestWithParam<float> {};

// Seen at an angle the sheet is a trapezoid: cut by its own corners, the
// cut-out is paper to its corners, no wedge of desk left in them.
TEST_P(TiltedSheetCrop, IsCutByItsCornersWithoutDesk) {
  const cv::Mat frame = TiltedSheet(25.0f, GetParam());
  cv::Mat cut;
  ASSERT_TRUE(AutoCropDocument(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &cut));
  for (double darkest : CornerDarkness(cut, 12)) EXPECT_GT(darkest, 170) << "desk in a corner";
  // The rectangle around it would have kept the desk.
  cv::RotatedRect rect;
  ASSERT_TRUE(FindDocumentRect(&rect, 9, 3, 0.2f, 0.01f, frame, 8.0));
  const cv::Mat square = ExtractRotatedRect(rect, frame);
  const std::vector<double> wedges = CornerDarkness(square, 12);
  EXPECT_LT(*std::min_element(wedges.begin(), wedges.end()), 120);
}

INSTANTIATE_TEST_SUITE_P(Turns, TiltedSheetCrop, ::testing::Values(0.0f, 3.5f, -4.0f));

TEST(TiltedSheetCrop, SheetSeenSquareOnKeepsItsRectangle) {
  const cv::Mat frame = TiltedSheet(0.0f, 3.0f);
  cv::Mat cut;
  ASSERT_TRUE(AutoCropDocument(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &cut));
  cv::RotatedRect rect;
  ASSERT_TRUE(FindDocumentRect(&rect, 9, 3, 0.2f, 0.01f, frame, 8.0));
  const cv::Mat whole = ExtractRotatedRect(rect, frame);
  ASSERT_EQ(cut.size(), cv::Size(whole.cols - 40, whole.rows - 40));
  EXPECT_EQ(cv::norm(cut, whole(cv::Rect(20, 20, whole.cols - 40, whole.rows - 40)), cv::NORM_INF), 0);
}

TEST(AutoCropDocumentAffine, MarginRules) {
  const cv::Mat frame = Render(vqscene::PlaceSheet({400, 300}, {320, 450}, -9));
  const cv::RotatedRect r = Canonical(Detect(frame, 0.03f).rect);
  cv::Mat cut;
  ASSERT_TRUE(AutoCropDocumentAffine(frame, 0.2f, -3, 3, 9, 8.0, &cut));
  EXPECT_EQ(cut.size(), cv::Size(int(r.size.width - 10), int(r.size.height - 10))) << "negative means 5";
  ASSERT_TRUE(AutoCropDocumentAffine(frame, 0.2f, 10, 3, 9, 8.0, &cut));
  EXPECT_EQ(cut.size(), cv::Size(int(r.size.width - 20), int(r.size.height - 20)));
  ASSERT_TRUE(AutoCropDocumentAffine(frame, 0.2f, 100000, 3, 9, 8.0, &cut));
  EXPECT_EQ(cut.size(), cv::Size(int(r.size.width), int(r.size.height))) << "a margin over half a side becomes 0";
}

double DarkestAround(const cv::Mat& image, cv::Point2f p) {
  const cv::Rect box = cv::Rect(cvRound(p.x) - 8, cvRound(p.y) - 8, 17, 17) & cv::Rect(0, 0, image.cols, image.rows);
  cv::Mat grey;
  cv::cvtColor(image(box), grey, cv::COLOR_BGR2GRAY);
  double lo, hi;
  cv::minMaxLoc(grey, &lo, &hi);
  return lo;
}

TEST(AutoCropDocumentAffine, PageComesOutUprightNotTurnedOver) {
  for (float angle : {-9.0f, 30.0f, 90.0f, -60.0f}) {
    const vqscene::Sheet sheet = vqscene::PlaceSheet({400, 300}, {300, 420}, angle);
    cv::Mat frame = Render(sheet, false);
    const cv::Point2f mark = MarkTopLeft(frame, sheet.rect);
    cv::Mat cut;
    ASSERT_TRUE(AutoCropDocumentAffine(frame, 0.2f, 10, 3, 9, 8.0, &cut)) << angle;
    const float turn = angle - 90.0f * std::round(angle / 90.0f);
    const cv::Point2f expected = InCutOut(mark, sheet.rect, turn, cut.size());
    const cv::Point2f opposite(float(cut.cols) - expected.x, float(cut.rows) - expected.y);
    EXPECT_LT(DarkestAround(cut, expected), 60) << angle;
    EXPECT_GT(DarkestAround(cut, opposite), 150) << angle << ": the mark must not be in the opposite corner";
  }
}

TEST(AutoCropDocumentAffine, NothingFoundLeavesTheOutputAlone) {
  vqscene::Scene desk = vqscene::EmptyDesk(kFrame);
  cv::Mat out(3, 3, CV_8U, cv::Scalar(1));
  EXPECT_FALSE(AutoCropDocumentAffine(vqscene::RenderScene(desk), 0.2f, 10, 3, 9, 8.0, &out));
  EXPECT_FALSE(AutoCropDocumentAffine(cv::Mat(), 0.2f, 10, 3, 9, 8.0, &out));
  EXPECT_EQ(out.size(), cv::Size(3, 3));
}

// A sticky note (about 1 % of the frame, yellow, blank) beside one of the
// sheet's sides, `gap` pixels off it (negative: touching it, over its edge).
vqscene::Sheet NoteBeside(const vqscene::Sheet& sheet, cv::Size frame, double gap, cv::RNG& rng) {
  const float side = float(std::sqrt(0.01 * frame.area()) * rng.uniform(0.8, 1.2));
  const int which = rng.uniform(0, 4);
  const float along = float(rng.uniform(-0.8, 0.8));
  const cv::Point2f u = SheetPoint(sheet.rect, 1, 0) - sheet.rect.center, v = SheetPoint(sheet.rect, 0, 1) - sheet.rect.center;
  const float w = sheet.rect.size.width / 2, h = sheet.rect.size.height / 2, off = float(gap) + side / 2;
  const cv::Point2f centre = which == 0   ? sheet.rect.center + u * (w + off) + v * (along * h)
                             : which == 1 ? sheet.rect.center - u * (w + off) + v * (along * h)
                             : which == 2 ? sheet.rect.center + v * (h + off) + u * (along * w)
                                          : sheet.rect.center - v * (h + off) + u * (along * w);
  vqscene::Sheet note =
      vqscene::PlaceSheet(centre, {side, side}, sheet.rect.angle + float(rng.uniform(-20.0, 20.0)), rng.next());
  note.paper = cv::Scalar(90, 225, 250);
  note.text = false;
  return note;
}

// The note's yellow in a cut-out.
int NotePixels(const cv::Mat& cut) {
  cv::Mat hsv, yellow;
  cv::cvtColor(cut, hsv, cv::COLOR_BGR2HSV);
  cv::inRange(hsv, cv::Scalar(15, 120, 150), cv::Scalar(40, 255, 255), yellow);
  return cv::countNonZero(yellow);
}

// Seeded desks, a note beside the sheet or over its edge: the detector
// joins it to the sheet, and the crop must cut the sheet alone, neither
// sheared by the note's corner nor holding the note.
TEST(SheetWithNoteBeside, IsCutAloneAndNeverSheared) {
  const cv::Size frame(1280, 960);
  int quads = 0;
  for (int seed = 1; seed <= 24; ++seed) {
    cv::RNG rng(uint64_t(seed) * 7919);
    vqscene::Scene scene = vqscene::EmptyDesk(frame, uint64_t(seed));
    scene.noiseSigma = 2;
    const vqscene::Sheet sheet = vqscene::RandomSheet(frame, rng);
    const double gap = seed % 3 == 0 ? rng.uniform(-3.0, 0.0) : rng.uniform(0.0, 40.0);
    scene.sheets = {sheet, NoteBeside(sheet, frame, gap, rng)};
    const cv::Mat image = vqscene::RenderScene(scene);

    cv::RotatedRect rect;
    std::vector<cv::Point> outline;
    double area = 0.0;
    ASSERT_TRUE(FindDocumentRectAndContour(&rect, 9, 3, &outline, 0.2f, 0.01f, image, 8.0, &area)) << seed;
    const RectError error = Compare(rect, sheet.rect);
    EXPECT_LT(error.angle, 2.5) << seed;
    EXPECT_LT(std::max(error.width, error.height), 0.06) << seed << ": the note is part of the rectangle";
    SheetQuad quad;
    if (FindSheetQuad(outline, area, rect, 0.03, &quad)) {
      ++quads;
      // The corners the cut takes are the sheet's own.
      const std::vector<cv::Point2f> truth = vqscene::SheetOutline(sheet);
      const double shorter = std::min(sheet.rect.size.width, sheet.rect.size.height);
      for (const cv::Point2f& corner : quad) {
        double nearest = 1e9;
        for (const cv::Point2f& t : truth) nearest = std::min(nearest, double(cv::norm(corner - t)));
        EXPECT_LT(nearest, 0.06 * shorter) << seed << ": a corner off the sheet shears the cut";
      }
    }
    cv::Mat cut;
    ASSERT_TRUE(AutoCropDocument(image, 0.01f, 20, 0.2f, 3, 9, 8.0, &cut)) << seed;
    // At most a sliver of a note touching the sheet's edge.
    EXPECT_LT(NotePixels(cut), 0.002 * cut.total()) << seed << ": the note is in the cut";
    EXPECT_NEAR(std::max(cut.cols, cut.rows), std::max(sheet.rect.size.width, sheet.rect.size.height) - 40,
                0.06 * std::max(sheet.rect.size.width, sheet.rect.size.height))
        << seed;
  }
  EXPECT_LT(quads, 24) << "flat sheets are mostly cut by their rectangles";
}

// A tilted sheet whose detector outline encloses its face is cut by its
// corners; the same outline with a foreign corner's worth of area missing
// is not one sheet.
TEST(SheetWithNoteBeside, FourCornersAreNotEnoughWithoutOneSheet) {
  const std::vector<cv::Point> trapezoid{{100, 100}, {500, 110}, {470, 600}, {130, 590}};
  const cv::RotatedRect rect = cv::minAreaRect(trapezoid);
  SheetQuad quad;
  const double area = cv::contourArea(trapezoid);
  EXPECT_TRUE(FindSheetQuad(trapezoid, area, rect, 0.03, &quad));
  EXPECT_FALSE(FindSheetQuad(trapezoid, 0.95 * area, rect, 0.03, &quad));
  EXPECT_FALSE(FindSheetQuad(trapezoid, 0.0, rect, 0.03, &quad));
}

}  // namespace

#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "imaging/DocumentDetection.h"
#include "imaging/DocumentEdges.h"
#include "imaging/EdgeClosing.h"
#include "scene/Renderer.h"
#include "tests/imaging/DocumentTestSupport.h"

namespace {

using namespace geometry_test;
using cvcompat::ContourList;

const cv::Size kFrame(800, 600);

cv::Mat Render(std::vector<vqscene::Sheet> sheets, bool text = true) {
  vqscene::Scene scene = vqscene::EmptyDesk(kFrame);
  scene.noiseSigma = 2;
  for (auto& sheet : sheets) sheet.text = text;
  scene.sheets = std::move(sheets);
  return vqscene::RenderScene(scene);
}

bool FindOne(const cv::Mat& frame, cv::RotatedRect* rect, float scale = 0.2f) {
  return FindDocumentRect(rect, 9, 3, scale, 0.01f, frame, 8.0);
}

// The edge regions the detector sorts for a frame.
EdgeRegions RegionsOf(const cv::Mat& frame) {
  cv::Mat working;
  cv::resize(frame, working, {}, 0.2, 0.2);
  return ClassifyEdgeRegions(MakeEdgeMask(working, 9, 3, 8.0), 0.01f);
}

void ExpectMatches(const cv::RotatedRect& found, const cv::RotatedRect& truth, double sizeTolerance = 0.03) {
  const RectError e = Compare(found, truth);
  EXPECT_LT(e.angle, 1.0);
  EXPECT_LT(e.width, sizeTolerance);
  EXPECT_LT(e.height, sizeTolerance);
  EXPECT_LT(e.centre, 8.0);
}

TEST(DocumentDetection, EmptyOrUnusableInputGivesFalseAndTouchesNothing) {
  const cv::RotatedRect before({5, 6}, {7, 8}, -9);
  cv::RotatedRect rect = before;
  std::vector<cv::Point> outline{{1, 1}};
  EXPECT_FALSE(FindDocumentRectAndContour(&rect, 9, 3, &outline, 0.2f, 0.01f, cv::Mat(), 8.0));
  EXPECT_FALSE(FindDocumentRectAndContour(nullptr, 9, 3, &outline, 0.2f, 0.01f, cv::Mat(), 8.0));
  EXPECT_EQ(rect.center, before.center);
  EXPECT_EQ(outline.size(), 1u);
  std::vector<cv::RotatedRect> rects{before};
  EXPECT_FALSE(FindDocumentRects(&rects, 9, 3, 0.2f, 0.01f, cv::Mat(), 8.0));
  EXPECT_TRUE(rects.empty()) << "the list is cleared even for an empty image";

  const cv::Mat page = Render({vqscene::PlaceSheet({400, 300}, {300, 400}, 10)});
  cv::Mat deep;
  page.convertTo(deep, CV_16U, 256);
  EXPECT_FALSE(FindOne(deep, &rect)) << "16-bit frames are refused";
  EXPECT_FALSE(FindDocumentRect(&rect, 8, 3, 0.2f, 0.01f, page, 8.0)) << "even median aperture";
  EXPECT_FALSE(FindDocumentRect(&rect, 9, 4, 0.2f, 0.01f, page, 8.0)) << "bad Sobel aperture";
  EXPECT_FALSE(FindDocumentRect(&rect, -3, 3, 0.2f, 0.01f, page, 8.0)) << "negative median aperture";
  EXPECT_FALSE(FindDocumentRects(&rects, 9, 0, 0.2f, 0.01f, page, 8.0));
  EXPECT_FALSE(FindOne(cv::Mat(2, 2, CV_8UC3, cv::Scalar::all(200)), &rect)) << "nothing left after shrinking";
  EXPECT_FALSE(FindOne(page, &rect, 1e9f)) << "absurd scale";
  EXPECT_TRUE(FindOne(page, &rect, std::numeric_limits<float>::quiet_NaN())) << "not a number: the floor";
  rect = before;
  EXPECT_EQ(rect.center, before.center);
}

TEST(DocumentDetection, ThresholdUsesTheSquareRootOfTheSpread) {
  EXPECT_DOUBLE_EQ(EdgeThreshold(40, 100, 8), 120);
}

// The edge mask computed the plain way, one channel at a time.
cv::Mat PlainEdgeMask(const cv::Mat& working, int median, int sobel, double factor) {
  std::vector<cv::Mat> channels;
  cv::split(working, channels);
  cv::Mat energy = cv::Mat::zeros(working.size(), CV_32F), dx, dy;
  for (auto& c : channels) {
    cv::medianBlur(c, c, median);
    cv::Sobel(c, dx, CV_32F, 1, 0, sobel);
    cv::Sobel(c, dy, CV_32F, 0, 1, sobel);
    energy += cv::abs(dx) + cv::abs(dy);
  }
  cv::Scalar mean, sd;
  cv::meanStdDev(energy, mean, sd);
  cv::Mat mask;
  cv::threshold(energy, mask, mean[0] + factor * std::sqrt(sd[0]), 255, cv::THRESH_BINARY);
  mask.convertTo(mask, CV_8U);
  cv::dilate(mask, mask, cv::Mat());
  cv::erode(mask, mask, cv::Mat());
  return mask;
}

TEST(DocumentDetection, EdgeMaskEqualsThePlainComputation) {
  cv::Mat noise(257, 301, CV_8UC3);
  cv::randu(noise, 0, 256);
  cv::Mat scene;
  cv::resize(Render({vqscene::PlaceSheet({400, 300}, {300, 420}, -12)}), scene, {}, 0.2, 0.2);
  cv::Mat grey;
  cv::cvtColor(scene, grey, cv::COLOR_BGR2GRAY);
  for (const cv::Mat& image : {noise, scene, grey})
    for (int median : {3, 5, 9})
      EXPECT_EQ(cv::norm(MakeEdgeMask(image, median, 3, 8.0), PlainEdgeMask(image, median, 3, 8.0), cv::NORM_INF), 0)
          << image.size() << " median " << median;
}

TEST(DocumentDetection, OneChannelFrameWorks) {
  const vqscene::Sheet sheet = vqscene::PlaceSheet({380, 310}, {280, 380}, 17);
  cv::Mat grey;
  cv::cvtColor(Render({sheet}), grey, cv::COLOR_BGR2GRAY);
  cv::RotatedRect rect;
  ASSERT_TRUE(FindOne(grey, &rect));
  ExpectMatches(rect, sheet.rect);
}

TEST(DocumentDetection, ScaleHasAFloorPerDetector) {
  const cv::Mat frame = Render({vqscene::PlaceSheet({400, 300}, {300, 400}, 5)});
  cv::RotatedRect low, floor;
  ASSERT_TRUE(FindOne(frame, &low, 0.05f));
  ASSERT_TRUE(FindOne(frame, &floor, 0.2f));
  EXPECT_EQ(low.center, floor.center);
  EXPECT_EQ(low.size, floor.size);
  std::vector<cv::RotatedRect> lowRects, floorRects;
  ASSERT_TRUE(FindDocumentRects(&lowRects, 9, 3, 0.05f, 0.01f, frame, 8.0));
  ASSERT_TRUE(FindDocumentRects(&floorRects, 9, 3, 0.1f, 0.01f, frame, 8.0));
  ASSERT_EQ(lowRects.size(), floorRects.size());
  EXPECT_EQ(lowRects[0].center, floorRects[0].center);
  EXPECT_EQ(lowRects[0].size, floorRects[0].size);
}

TEST(DocumentDetection, OutlineIsInFramePixels) {
  const vqscene::Sheet sheet = vqscene::PlaceSheet({400, 300}, {300, 400}, -30);
  cv::RotatedRect rect;
  std::vector<cv::Point> outline;
  ASSERT_TRUE(FindDocumentRectAndContour(&rect, 9, 3, &outline, 0.2f, 0.01f, Render({sheet}), 8.0));
  const cv::Rect2f box = sheet.rect.boundingRect2f();
  for (const auto& p : outline) {
    EXPECT_GT(p.x, box.x - 15);
    EXPECT_LT(p.x, box.x + box.width + 15);
    EXPECT_GT(p.y, box.y - 15);
    EXPECT_LT(p.y, box.y + box.height + 15);
  }
  // The outline runs around the edge band, outside the rectangle, which is
  // reported less the Sobel aperture.
  EXPECT_NEAR(cv::contourArea(outline), sheet.rect.size.area(), 0.08 * sheet.rect.size.area());
}

TEST(DocumentDetection, PageTallerThanTheViewSpansBetweenItsSideEdges) {
  const cv::Mat frame = Render({vqscene::PlaceSheet({420, 300}, {320, 1000}, 0)});
  EXPECT_EQ(RegionsOf(frame).verticalSpans.size(), 2u);
  cv::RotatedRect rect;
  ASSERT_TRUE(FindOne(frame, &rect));
  const cv::RotatedRect c = Canonical(rect);
  EXPECT_NEAR(c.center.x, 420, 6);
  EXPECT_NEAR(c.size.width, 320, 0.03 * 320);
  EXPECT_GT(c.size.height, 0.9 * kFrame.height);
}

TEST(DocumentDetection, SingleEdgeAcrossTheViewClosesTheFarSide) {
  cv::RotatedRect rect;
  // Only the page's lower edge shows, at y = 420: the part above it is the page.
  const cv::Mat lower = Render({vqscene::PlaceSheet({400, 420 - 500}, {1400, 1000}, 0)}, false);
  EXPECT_EQ(RegionsOf(lower).horizontalSpans.size(), 1u);
  ASSERT_TRUE(FindOne(lower, &rect));
  cv::RotatedRect c = Canonical(rect);
  EXPECT_NEAR(c.center.y, 210, 15);
  EXPECT_NEAR(c.size.height, 420, 20);
  EXPECT_GT(c.size.width, 0.95 * kFrame.width);
  // Only its upper edge shows, at y = 180: the part below it.
  ASSERT_TRUE(FindOne(Render({vqscene::PlaceSheet({400, 180 + 500}, {1400, 1000}, 0)}, false), &rect));
  c = Canonical(rect);
  EXPECT_NEAR(c.center.y, 390, 15);
  EXPECT_NEAR(c.size.height, 420, 20);
}

TEST(DocumentDetection, PageCornerInViewFillsToTheImageCorner) {
  // The page covers the top-left of the view down to x = 700, y = 550.
  const cv::Mat frame = Render({vqscene::PlaceSheet({250, 200}, {900, 700}, 0)}, false);
  EXPECT_EQ(RegionsOf(frame).largeCorners.size(), 1u);
  cv::RotatedRect rect;
  ASSERT_TRUE(FindOne(frame, &rect));
  const cv::RotatedRect c = Canonical(rect);
  EXPECT_NEAR(c.center.x, 350, 10);
  EXPECT_NEAR(c.center.y, 275, 10);
  EXPECT_NEAR(c.size.width, 700, 25);
  EXPECT_NEAR(c.size.height, 550, 25);
}

TEST(DocumentDetection, SeparateDocumentsStaySeparateAndNestedBoxesMerge) {
  const std::vector<vqscene::Sheet> apart{vqscene::PlaceSheet({200, 300}, {250, 340}, 5, 1),
                                          vqscene::PlaceSheet({590, 300}, {250, 340}, -8, 2)};
  std::vector<cv::RotatedRect> rects;
  ASSERT_TRUE(FindDocumentRects(&rects, 9, 3, 0.2f, 0.01f, Render(apart), 8.0));
  ASSERT_EQ(rects.size(), 2u);
  for (const auto& rect : rects) ExpectMatches(rect, rect.center.x < 400 ? apart[0].rect : apart[1].rect);

  // A small sheet inside the bounding box of a large turned one, not touching it.
  const std::vector<vqscene::Sheet> nested{vqscene::PlaceSheet({400, 300}, {330, 330}, 45, 1),
                                           vqscene::PlaceSheet({240, 130}, {70, 90}, 0, 2)};
  ASSERT_TRUE(FindDocumentRects(&rects, 9, 3, 0.2f, 0.005f, Render(nested, false), 8.0));
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_GT(rects[0].size.area(), 1.1 * nested[0].rect.size.area()) << "the small sheet joined the large one";

  // The single-document detector joins everything into one shape.
  cv::RotatedRect one;
  ASSERT_TRUE(FindOne(Render(apart), &one));
  EXPECT_NEAR(Canonical(one).center.x, 395, 15);
  EXPECT_GT(one.size.area(), 2.0 * apart[0].rect.size.area());
}

TEST(DocumentDetection, ConcurrentCallsOnSeparateFramesAgreeWithSequentialOnes) {
  std::vector<cv::Mat> frames;
  std::vector<cv::RotatedRect> expected(4);
  for (int i = 0; i < 4; ++i) {
    frames.push_back(Render({vqscene::PlaceSheet({380.0f + 10 * i, 300}, {280, 380}, -20.0f + 12 * i, i)}));
    ASSERT_TRUE(FindOne(frames[i], &expected[i]));
  }
  std::vector<cv::RotatedRect> found(4);
  std::vector<int> ok(4, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&, i] {
      for (int round = 0; round < 5; ++round) ok[i] += FindOne(frames[i], &found[i]) ? 1 : 0;
    });
  for (auto& t : threads) t.join();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ok[i], 5);
    EXPECT_EQ(found[i].center, expected[i].center);
    EXPECT_EQ(found[i].size, expected[i].size);
  }
}

// Contours of shapes drawn into an empty 100 x 100 mask.
ContourList ContoursOf(void (*draw)(cv::Mat&)) {
  cv::Mat mask = cv::Mat::zeros(100, 100, CV_8U);
  draw(mask);
  return cvcompat::FindOuterContours(mask);
}

TEST(EdgeClosing, JoinsTheEndsOfSpanningEdges) {
  const ContourList edges = ContoursOf([](cv::Mat& m) {
    cv::line(m, {20, 0}, {20, 99}, cv::Scalar(255), 2);
    cv::line(m, {80, 0}, {84, 99}, cv::Scalar(255), 2);
  });
  ASSERT_EQ(edges.size(), 2u);
  cv::Mat mask = cv::Mat::zeros(100, 100, CV_8U);
  ASSERT_TRUE(JoinVerticalEdges(edges, mask));
  EXPECT_EQ(mask.at<uchar>(1, 50), 255) << "top points joined";
  EXPECT_EQ(mask.at<uchar>(98, 50), 255) << "bottom points joined";
  EXPECT_EQ(mask.at<uchar>(50, 50), 0);
  EXPECT_EQ(mask.at<uchar>(50, 20), 255) << "edges filled";

  cv::Mat untouched = cv::Mat::zeros(100, 100, CV_8U);
  EXPECT_FALSE(JoinVerticalEdges({edges[0]}, untouched));
  cv::Mat empty;
  EXPECT_FALSE(JoinHorizontalEdges(edges, empty)) << "empty mask";
  EXPECT_EQ(cv::countNonZero(untouched), 0);

  cv::Mat across = cv::Mat::zeros(100, 100, CV_8U);
  ContourList rows;  // the same edges with x and y swapped
  for (const auto& e : edges) {
    cvcompat::Contour t;
    for (const auto& p : e) t.emplace_back(p.y, p.x);
    rows.push_back(t);
  }
  ASSERT_TRUE(JoinHorizontalEdges(rows, across));
  EXPECT_EQ(across.at<uchar>(50, 1), 255);
  EXPECT_EQ(across.at<uchar>(50, 98), 255);
  EXPECT_EQ(across.at<uchar>(50, 50), 0);
}

TEST(EdgeClosing, SingleSpanningEdgeClosesTheSideAwayFromTheNearBorder) {
  auto edgeAt = [](int y) {
    cv::Mat m = cv::Mat::zeros(100, 100, CV_8U);
    cv::line(m, {0, y}, {99, y}, cv::Scalar(255), 2);
    return cvcompat::FindOuterContours(m);
  };
  cv::Mat mask = cv::Mat::zeros(100, 100, CV_8U);
  ASSERT_TRUE(CloseSpanningEdge(mask, edgeAt(70)));
  EXPECT_EQ(mask.at<uchar>(0, 50), 255) << "lower half: closed along the top";
  EXPECT_EQ(mask.at<uchar>(99, 50), 0);

  mask.setTo(0);
  ASSERT_TRUE(CloseSpanningEdge(mask, edgeAt(30)));
  EXPECT_EQ(mask.at<uchar>(99, 50), 255) << "upper half: closed along the bottom";
  EXPECT_EQ(mask.at<uchar>(0, 50), 0);

  mask.setTo(0);
  EXPECT_FALSE(CloseSpanningEdge(mask, edgeAt(1))) << "within 2 % of the border";
  EXPECT_EQ(cv::countNonZero(mask), 0) << "nothing drawn";
  EXPECT_FALSE(CloseSpanningEdge(mask, {}));
  EXPECT_FALSE(CloseSpanningEdge(mask, {cvcompat::Contour{}}));

  // A vertical edge left of the middle closes the part to its right.
  cv::Mat m = cv::Mat::zeros(100, 100, CV_8U);
  cv::line(m, {25, 0}, {25, 99}, cv::Scalar(255), 2);
  mask.setTo(0);
  ASSERT_TRUE(CloseSpanningEdge(mask, cvcompat::FindOuterContours(m)));
  EXPECT_EQ(mask.at<uchar>(50, 99), 255);
  EXPECT_EQ(mask.at<uchar>(50, 0), 0);
}

TEST(EdgeClosing, CornerRegionsAreFilledOrPaintedOut) {
  // A page corner: an L-shaped edge cutting off the top-left corner.
  const ContourList corner = ContoursOf([](cv::Mat& m) {
    cv::line(m, {60, 0}, {60, 60}, cv::Scalar(255), 3);
    cv::line(m, {60, 60}, {0, 60}, cv::Scalar(255), 3);
  });
  ASSERT_EQ(corner.size(), 1u);
  cv::Mat mask = cv::Mat::zeros(100, 100, CV_8U);
  ASSERT_TRUE(CloseCornerContour(mask, 0, corner[0]));
  EXPECT_EQ(mask.at<uchar>(30, 30), 255) << "filled up to the image corner";
  EXPECT_EQ(mask.at<uchar>(80, 80), 0);

  // A thin line across the bottom-right corner is painted out.
  const ContourList line = ContoursOf([](cv::Mat& m) { cv::line(m, {99, 70}, {70, 99}, cv::Scalar(255), 2); });
  ASSERT_EQ(line.size(), 1u);
  mask.setTo(255);
  ASSERT_TRUE(CloseCornerContour(mask, 1, line[0]));
  EXPECT_EQ(mask.at<uchar>(90, 90), 0);
  EXPECT_EQ(mask.at<uchar>(85, 85), 0) << "the line itself";
  EXPECT_EQ(mask.at<uchar>(50, 50), 255);

  EXPECT_FALSE(CloseCornerContour(mask, 0, {}));
}

}  // namespace

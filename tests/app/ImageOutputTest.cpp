#include "app/ImageOutput.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "app/CameraModels.h"
#include "app/WatermarkRenderer.h"
#include "tests/app/OutputTestSupport.h"

using outputtest::DeskWithSheets;
using outputtest::PlainSettings;

namespace {

std::vector<cv::Mat> Process(const CSysSettings& settings, const cv::Mat& frame) {
  CImageOutput output(2);
  output.SetSettings(settings);
  std::vector<cv::Mat> pages;
  EXPECT_EQ(output.ProcessFrame(frame, &pages), 0);
  return pages;
}

int CountDifferent(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat diff;
  cv::absdiff(a, b, diff);
  if (diff.channels() > 1) cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
  return cv::countNonZero(diff);
}

}  // namespace

TEST(CameraModels, IndexOrderDefaultsAndSpecialModel) {
  EXPECT_EQ(IdentifyCameraModel(L"2e1a", L"0103"), 0);
  EXPECT_EQ(IdentifyCameraModel(L"2E1A", L"0106"), kSpecialCameraModel);
  EXPECT_EQ(IdentifyCameraModel(L"1D6B", L"0102"), 6);
  EXPECT_EQ(IdentifyCameraModel(L"2E1A", L"9999"), -1);
  CameraModelDefaults d{0, 0, 0};
  ASSERT_TRUE(LookUpModelDefaults(L"2e1a", L"0106", &d));
  EXPECT_EQ(d.width, 4000);
  EXPECT_EQ(d.height, 3000);
  EXPECT_EQ(d.dpi, 330);
  EXPECT_FALSE(LookUpModelDefaults(L"FFFF", L"0001", &d));
  EXPECT_EQ(d.width, 4000);
  // [0] portrait product, [1] portrait vendor, [2] document product, [3] document vendor.
  EXPECT_TRUE(IsSpecialCameraModel({L"0110", L"2E1A", L"0106", L"2E1A"}));
  EXPECT_FALSE(IsSpecialCameraModel({L"0106", L"2E1A", L"0101", L"2E1A"}));
  EXPECT_FALSE(IsSpecialCameraModel({L"0106", L"2E1A"}));
}

TEST(ProcessFrame, EmptyFrameGivesNoPage) {
  CImageOutput output(0);
  std::vector<cv::Mat> pages;
  EXPECT_EQ(output.ProcessFrame(cv::Mat(), &pages), 1);
  EXPECT_TRUE(pages.empty());
}

TEST(ProcessFrame, CropModes) {
  const cv::Mat frame = DeskWithSheets(3);
  CSysSettings s = PlainSettings();

  s.cutPageType = 0;
  auto pages = Process(s, frame);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].size(), frame.size());

  s.cutPageType = 1;
  s.multiCutPage = true;
  pages = Process(s, frame);
  ASSERT_EQ(pages.size(), 3u);
  for (const cv::Mat& p : pages) EXPECT_LT(p.cols, frame.cols / 2);

  // One document cut out, straight or mapped.
  const cv::Mat oneSheet = DeskWithSheets(1);
  s.multiCutPage = false;
  for (int deformation : {0, 1}) {
    s.deformation = deformation;
    pages = Process(s, oneSheet);
    ASSERT_EQ(pages.size(), 1u) << deformation;
    EXPECT_LT(pages[0].cols, oneSheet.cols * 3 / 4) << deformation;
    EXPECT_LT(pages[0].rows, oneSheet.rows * 3 / 4) << deformation;
  }

  // No document: the whole frame, in every automatic variant.
  const cv::Mat desk(600, 800, CV_8UC3, cv::Scalar(60, 70, 80));
  for (int variant = 0; variant < 3; ++variant) {
    s.multiCutPage = variant == 2;
    s.deformation = variant == 1;
    pages = Process(s, desk);
    ASSERT_EQ(pages.size(), 1u) << variant;
    EXPECT_EQ(pages[0].size(), desk.size()) << variant;
  }

  s.cutPageType = 2;
  const int partly[4] = {700, 500, 900, 700};
  std::copy(partly, partly + 4, s.cropRect);
  pages = Process(s, desk);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].size(), cv::Size(100, 100));
  const int outside[4] = {900, 700, 1000, 800};
  std::copy(outside, outside + 4, s.cropRect);
  EXPECT_TRUE(Process(s, desk).empty());
}

TEST(ProcessFrame, ColourModesAndShadow) {
  const cv::Mat page = outputtest::TextPage({640, 480});
  CSysSettings s = PlainSettings();
  s.colorMode = 1;
  auto pages = Process(s, page);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].channels(), 1);

  s.colorMode = 2;
  pages = Process(s, page);
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].type(), CV_8UC1);
  cv::Mat notTwoLevel = (pages[0] != 0) & (pages[0] != 255);
  EXPECT_EQ(cv::countNonZero(notTwoLevel), 0);
  EXPECT_EQ(pages[0].at<uchar>(45, 320), 0);     // a text line
  EXPECT_EQ(pages[0].at<uchar>(30, 100), 255);   // paper
  s.shadow = 1;  // ignored in black-and-white
  EXPECT_EQ(CountDifferent(Process(s, page)[0], pages[0]), 0);

  // Colour with shadow removal: paper pure white, text and colour kept.
  cv::Mat coloured = page.clone();
  cv::rectangle(coloured, cv::Rect(20, 300, 120, 120), cv::Scalar(40, 40, 200), cv::FILLED);
  cv::Mat shaded = coloured.clone();
  for (int x = 0; x < shaded.cols; ++x)  // darker towards the right
    shaded.col(x) -= cv::Scalar::all(x / 16);
  s.colorMode = 0;
  s.shadow = 1;
  pages = Process(s, shaded);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].at<cv::Vec3b>(30, 600), cv::Vec3b(255, 255, 255));
  EXPECT_EQ(pages[0].at<cv::Vec3b>(30, 10), cv::Vec3b(255, 255, 255));
  EXPECT_LT(pages[0].at<cv::Vec3b>(45, 400)[0], 100);
  const cv::Vec3b red = pages[0].at<cv::Vec3b>(360, 80);
  EXPECT_GT(red[2], red[0] + 80);
}

TEST(ProcessImage, EmptyInputAndBrightness) {
  CImageOutput output(1);
  output.SetSettings(PlainSettings());
  cv::Mat out(5, 5, CV_8UC3);
  output.ProcessImage(out, cv::Mat());
  EXPECT_TRUE(out.empty());
  // A dim page is brightened towards 250.
  cv::Mat dim = outputtest::TextPage({400, 300}) * 0.7;
  output.ProcessImage(out, dim);
  ASSERT_EQ(out.size(), dim.size());
  EXPECT_GT(out.at<cv::Vec3b>(20, 20)[1], dim.at<cv::Vec3b>(20, 20)[1] + 40);
}

TEST(Watermark, SetWaterMarkRanges) {
  CImageOutput output(2);
  EXPECT_TRUE(output.SetWaterMark(L"x", 0, 0, 1, 0));
  EXPECT_TRUE(output.SetWaterMark(L"x", 100, 4, 1, 0));
  EXPECT_FALSE(output.SetWaterMark(L"x", 101, 4, 10, 0));
  EXPECT_FALSE(output.SetWaterMark(L"x", -1, 4, 10, 0));
  EXPECT_FALSE(output.SetWaterMark(L"x", 50, 5, 10, 0));
  EXPECT_FALSE(output.SetWaterMark(L"x", 50, -1, 10, 0));
  EXPECT_FALSE(output.SetWaterMark(L"x", 50, 4, 0, 0));
}

TEST(Watermark, TextIsDrawnThroughGdiAtEveryPosition) {
  const cv::Mat tile = RenderWatermarkTile(L"Vorquell 2026", 40, 0x0000FF);
  ASSERT_FALSE(tile.empty());
  EXPECT_EQ(tile.type(), CV_8UC3);
  EXPECT_GT(tile.cols, tile.rows * 3);  // a line of text
  EXPECT_GE(tile.rows, 30);
  std::vector<cv::Mat> planes;
  cv::split(tile, planes);
  EXPECT_GT(cv::countNonZero((planes[2] > 200) & (planes[0] < 50)), 50);  // pure-red text pixels

  const cv::Size pageSize(500, 300);
  const cv::Rect expected[5] = {
      {0, 0, tile.cols, tile.rows},
      {pageSize.width - tile.cols, 0, tile.cols, tile.rows},
      {0, pageSize.height - tile.rows, tile.cols, tile.rows},
      {pageSize.width - tile.cols, pageSize.height - tile.rows, tile.cols, tile.rows},
      {(pageSize.width - tile.cols) / 2, (pageSize.height - tile.rows) / 2, tile.cols, tile.rows},
  };
  for (int position = 0; position < 5; ++position) {
    cv::Mat page(pageSize, CV_8UC3, cv::Scalar::all(255));
    CImageOutput output(2);
    ASSERT_TRUE(output.SetWaterMark(L"Vorquell 2026", 0, position, 40, 0x0000FF));
    OutputWaterMark mark;
    mark.text = L"Vorquell 2026";
    mark.position = position;
    mark.size = 40;
    mark.color = 0x0000FF;
    output.DrawWatermark(page, mark);
    cv::Mat changed = page != cv::Scalar::all(255);
    cv::cvtColor(changed, changed, cv::COLOR_BGR2GRAY);
    const cv::Rect bounds = cv::boundingRect(changed);
    ASSERT_FALSE(bounds.empty()) << position;
    EXPECT_EQ(bounds & expected[position], bounds) << position;
    // Opaque stamping puts the tile's own text pixels there, and only those.
    const cv::Mat placed = page(expected[position]);
    cv::Mat text = tile != cv::Scalar::all(kWatermarkTileGrey);
    cv::cvtColor(text, text, cv::COLOR_BGR2GRAY);
    cv::Mat mismatch;
    cv::absdiff(placed, tile, mismatch);
    cv::cvtColor(mismatch, mismatch, cv::COLOR_BGR2GRAY);
    EXPECT_EQ(cv::countNonZero(mismatch & text), 0) << position;
    EXPECT_EQ(cv::countNonZero(changed), cv::countNonZero(text)) << position;
  }
}

TEST(Watermark, BlendRules) {
  cv::Mat tile(10, 40, CV_8UC3, cv::Scalar::all(kWatermarkTileGrey));
  tile(cv::Rect(0, 0, 40, 5)).setTo(cv::Scalar(0, 0, 200));
  cv::Mat page(20, 20, CV_8UC3, cv::Scalar(100, 100, 100));

  cv::Mat opaque = page.clone();
  BlendWatermarkTile(opaque, tile, 4, 0);  // wider than the page: x = -10
  EXPECT_EQ(opaque.at<cv::Vec3b>(5, 0), cv::Vec3b(0, 0, 200));
  EXPECT_EQ(opaque.at<cv::Vec3b>(5, 19), cv::Vec3b(0, 0, 200));
  EXPECT_EQ(opaque.at<cv::Vec3b>(12, 5), cv::Vec3b(100, 100, 100));  // tile grey skipped
  EXPECT_EQ(opaque.at<cv::Vec3b>(4, 5), cv::Vec3b(100, 100, 100));   // above the tile

  cv::Mat half = page.clone();
  BlendWatermarkTile(half, tile, 0, 50);
  EXPECT_EQ(half.at<cv::Vec3b>(0, 0), cv::Vec3b(50, 50, 150));

  cv::Mat none = page.clone();
  BlendWatermarkTile(none, tile, 0, 100);
  EXPECT_EQ(CountDifferent(none, page), 0);
  BlendWatermarkTile(none, tile, 5, 0);
  EXPECT_EQ(CountDifferent(none, page), 0);

  cv::Mat grey(20, 20, CV_8UC1, cv::Scalar(100));
  BlendWatermarkTile(grey, tile, 0, 0);
  EXPECT_EQ(grey.type(), CV_8UC1);
  // Back to grey with the RGB weights on B, G, R as stored: 0.114 * 200.
  EXPECT_EQ(grey.at<uchar>(0, 0), 23);

  // Text in the tile grey itself never shows.
  const cv::Mat invisible = RenderWatermarkTile(L"grey", 30, 0xA8A8A8);
  ASSERT_FALSE(invisible.empty());
  cv::Mat unchanged = page.clone();
  BlendWatermarkTile(unchanged, invisible, 0, 0);
  EXPECT_EQ(CountDifferent(unchanged, page), 0);
}

TEST(Watermark, InvalidSettingsLeaveThePageUnstampedInBothOperations) {
  const cv::Mat frame = outputtest::TextPage({320, 240});
  CSysSettings s = PlainSettings();
  s.customMark = 1;
  s.markName = L"CONFIDENTIAL";
  s.markSize = 0;  // invalid
  const auto pages = Process(s, frame);
  ASSERT_EQ(pages.size(), 1u);
  s.customMark = 0;
  const auto plain = Process(s, frame);
  EXPECT_EQ(CountDifferent(pages[0], plain[0]), 0);

  s.customMark = 1;
  s.markSize = 30;
  s.markTransparency = 0;
  s.markColor = 0;
  const auto stamped = Process(s, frame);
  ASSERT_EQ(stamped.size(), 1u);
  EXPECT_GT(CountDifferent(stamped[0], plain[0]), 100);

  CImageOutput output(0);
  s.markPosition = 9;
  output.SetSettings(s);
  cv::Mat out;
  output.ProcessImage(out, frame);
  cv::Mat unmarked;
  s.customMark = 0;
  output.SetSettings(s);
  output.ProcessImage(unmarked, frame);
  EXPECT_EQ(CountDifferent(out, unmarked), 0);
}

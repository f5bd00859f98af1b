// Page recognition: reading order and joins, the progress and cancel
// protocol, block detection limits, and whole pages read with the product
// model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "ocr/DocOCR.h"
#include "ocr/TextHeight.h"
#include "tests/ocr/ModelWriter.h"
#include "tests/ocr/PrintedText.h"
#include "tests/support/TestEnv.h"

using namespace ocrtest;

namespace {

std::vector<std::pair<double, std::string>> reports;
double cancelAt = -1.0;

int Record(double fraction, const char* message) {
  reports.emplace_back(fraction, message);
  return fraction == cancelAt ? 3 : 0;
}

OCRTextBlock Block(const std::string& text, int x, int y, int width, int height) {
  OCRTextBlock block;
  block.text = text;
  block.x = x;
  block.y = y;
  block.width = width;
  block.height = height;
  return block;
}

// A recogniser whose engine reads every glyph as 上 at distance 0.05.
class ScalarPage : public ::testing::Test {
 protected:
  void SetUp() override {
    reports.clear();
    cancelAt = -1.0;
    ASSERT_TRUE(ocr_.Initialize(ScalarTemplateModel("Cos", 1.0, {{kShang, 0.95}}).Save("scalar.tpl").c_str()));
  }
  CDocOCR ocr_;
};

}  // namespace

TEST(ReadingOrder, BlocksAreJoinedBySixSpacesOnALineAndCrLfBelow) {
  std::string text = "old";
  EXPECT_FALSE(JoinTextBlocks({}, &text));
  EXPECT_EQ("", text);

  // Given in detector order: bottom row first, right before left.
  const std::vector<OCRTextBlock> blocks = {Block("D", 10, 200, 100, 40), Block("B", 300, 12, 100, 40),
                                            Block("A", 10, 10, 100, 40), Block("", 10, 100, 100, 40),
                                            Block("C", 300, 100, 100, 40)};
  ASSERT_TRUE(JoinTextBlocks(blocks, &text));
  EXPECT_EQ("A      B\r\n      C\r\nD", text);

  // Not a strict order: a block whose centre row lies in the other's rows
  // comes first on an equal centre column, whichever way round.
  EXPECT_TRUE(CompareReadingOrder(Block("", 0, 0, 10, 10), Block("", 0, 2, 10, 10)));
  EXPECT_TRUE(CompareReadingOrder(Block("", 0, 2, 10, 10), Block("", 0, 0, 10, 10)));
  EXPECT_TRUE(CompareReadingOrder(Block("", 0, 0, 10, 10), Block("", 0, 6, 10, 10)));
  EXPECT_FALSE(CompareReadingOrder(Block("", 0, 20, 10, 10), Block("", 0, 0, 10, 14)));
}

TEST(TextBlocks, BlobsBelow1024SquarePixelsAreSkipped) {
  // A mark 10 wide widens to 30, a one-pixel mark beside it to 3: together
  // 32 x 32 (kept) or 31 x 33 (skipped).
  auto detect = [](int secondMarkX, int height) {
    cv::Mat lines(80, 80, CV_8U, cv::Scalar(255)), page(80, 80, CV_8U, cv::Scalar(255));
    lines(cv::Rect(20, 10, 10, height)).setTo(0);
    lines(cv::Rect(secondMarkX, 10, 1, height)).setTo(0);
    page(cv::Rect(20, 10, 10, height)).setTo(0);
    std::vector<cv::Mat> images;
    std::vector<cv::Rect> rectangles;
    DetectTextBlocks(lines, page, &images, &rectangles);
    return rectangles;
  };
  const std::vector<cv::Rect> kept = detect(40, 32);
  ASSERT_EQ(1u, kept.size());
  EXPECT_EQ(cv::Rect(9, 9, 34, 34), kept[0]);
  EXPECT_TRUE(detect(39, 33).empty());
}

TEST(TextBlocks, BlockImageHoldsThePageInkInsideTheOutline) {
  cv::Mat lines(60, 200, CV_8U, cv::Scalar(255)), page(60, 200, CV_8U, cv::Scalar(255));
  lines(cv::Rect(60, 10, 20, 40)).setTo(0);
  page(cv::Rect(60, 10, 20, 40)).setTo(100);
  page(cv::Rect(150, 10, 20, 40)).setTo(0);  // outside every outline
  std::vector<cv::Mat> images;
  std::vector<cv::Rect> rectangles;
  DetectTextBlocks(lines, page, &images, &rectangles);
  ASSERT_EQ(1u, images.size());
  EXPECT_EQ(cv::Rect(39, 9, 62, 42), rectangles[0]);
  EXPECT_EQ(155, images[0].at<uint8_t>(21, 31)) << "page ink, inverted";
  EXPECT_EQ(0, images[0].at<uint8_t>(0, 0));
  EXPECT_EQ(20 * 40, cv::countNonZero(images[0]));
}

// With the print's height given, marks reach over the blank a full-width
// sign leaves, and a band of dots along a line joins it; specks reach no
// further than before.
TEST(TextBlocks, LinesHoldTogetherAcrossTheBlankOfAFullWidthSignAndKeepTheirDots) {
  const int height = 30;
  // Glyphs as the stroke filter leaves them: three strokes 4 pixels wide.
  auto glyph = [&](cv::Mat& lines, int x) {
    for (int stroke = 0; stroke < 3; ++stroke) lines(cv::Rect(x + 12 * stroke, 40, 4, height)).setTo(0);
  };
  auto blocks = [&](int gap, int textHeight) {
    cv::Mat lines(100, 300, CV_8U, cv::Scalar(255));
    glyph(lines, 20);
    lines(cv::Rect(50, 62, 5, 8)).setTo(0);  // a full-width comma low in its box...
    glyph(lines, 55 + gap);                  // ...and the blank after it
    std::vector<cv::Mat> images;
    std::vector<cv::Rect> rectangles;
    DetectTextBlocks(lines, lines.clone(), &images, &rectangles, textHeight);
    return rectangles.size();
  };
  EXPECT_EQ(2u, blocks(25, 0)) << "widened by their own width alone, the line parts";
  EXPECT_EQ(1u, blocks(25, height));
  EXPECT_EQ(2u, blocks(80, height)) << "a column's gutter still parts";

  // A headline shrunk to the print size: the top strokes of its glyphs
  // stand a little apart, a thin band along the line.
  cv::Mat lines(100, 300, CV_8U, cv::Scalar(255));
  for (int x = 20; x < 260; x += 40) {
    lines(cv::Rect(x + 5, 20, 20, 5)).setTo(0);
    lines(cv::Rect(x, 30, 30, 26)).setTo(0);
  }
  lines(cv::Rect(100, 80, 3, 3)).setTo(0);  // a speck below keeps to itself
  std::vector<cv::Mat> images;
  std::vector<cv::Rect> rectangles;
  DetectTextBlocks(lines, lines.clone(), &images, &rectangles, height);
  ASSERT_EQ(1u, rectangles.size());
  EXPECT_LE(rectangles[0].y, 20);
  EXPECT_LE(rectangles[0].br().y, 60);
}

TEST(TextHeight, PrintIsMeasuredAtEverySizeAndScaledIntoTheRangeReadBest) {
  for (int em : {10, 16, 33, 80, 120}) {
    const int width = std::max(600, 14 * em), lines = 8;
    cv::Mat page = PrintedLines({width, (lines + 1) * em * 17 / 10 + 40}, {}, {0, 0});
    vqscene::CjkTextRenderer renderer(vqscene::SongFont());
    for (int i = 0; i < lines; ++i)
      renderer.DrawLine(page, Codes("文字识别的结果应当正确显示"), {20, 20 + i * em * 17 / 10}, em, em + em / 10);
    const int measured = MeasureTextHeight(255 - page);
    EXPECT_GE(measured, static_cast<int>(0.85 * em)) << em;
    EXPECT_LE(measured, em + 2) << em << ", the soft edges of small print included";
    const double scaled = measured * TextScale(measured, page.size());
    EXPECT_GE(scaled, 24) << em;
    EXPECT_LE(scaled, 40) << em;
  }
  // Fewer than a dozen marks measure nothing, and nothing is scaled.
  cv::Mat specks(200, 200, CV_8U, cv::Scalar::all(0));
  for (int i = 0; i < 5; ++i) specks(cv::Rect(20 + 30 * i, 50, 6, 6)).setTo(255);
  EXPECT_EQ(0, MeasureTextHeight(specks));
  EXPECT_EQ(1.0, TextScale(0, specks.size()));
  EXPECT_EQ(1.0, TextScale(5, specks.size())) << "lower than print";
  // A caption beside two dark photographs (400 x 300): the photographs do not
  // decide the print's height, and no height shrinks a page below a quarter.
  cv::Mat pictures = PrintedLines({1654, 2339}, {}, {0, 0});
  cv::RNG rng(58);
  for (int x : {100, 530}) {
    cv::Mat coarse(6, 8, CV_32F), photo;
    rng.fill(coarse, cv::RNG::UNIFORM, 15.0, 110.0);
    cv::resize(coarse, photo, {400, 300}, 0, 0, cv::INTER_CUBIC);
    for (int i = 0; i < 6; ++i)
      cv::ellipse(photo, {rng.uniform(0, 400), rng.uniform(0, 300)}, {rng.uniform(20, 130), rng.uniform(20, 100)},
                  rng.uniform(0.0, 180.0), 0, 360, cv::Scalar::all(rng.uniform(5.0, 140.0)), cv::FILLED);
    cv::Mat grain(photo.size(), CV_32F);
    rng.fill(grain, cv::RNG::NORMAL, 0.0, 8.0);
    cv::Mat(photo + grain).convertTo(pictures(cv::Rect(x, 420, 400, 300)), CV_8U);
  }
  vqscene::CjkTextRenderer caption(vqscene::HeiFont());
  caption.DrawLine(pictures, Codes("图一与图二为现场照片"), {970, 520}, 32, 35);
  const int captionHeight = MeasurePrintHeight(pictures, 51, 25);
  EXPECT_GE(captionHeight, 24);
  EXPECT_LE(captionHeight, 34);
  EXPECT_EQ(0.25, TextScale(1000, {8000, 8000}));
  // Small print on a large page is enlarged only as far as the largest page read.
  const double limited = TextScale(10, {3000, 2000});
  EXPECT_GT(limited, 1.0);
  EXPECT_LT(limited, 2.0);
  EXPECT_LE(3000 * 2000 * limited * limited, 12.01e6);
}

TEST(TextBlocks, StrokeFilterDarkensNarrowStrokesOnly) {
  cv::Mat grey(40, 60, CV_8U, cv::Scalar(255));
  grey(cv::Rect(10, 0, 3, 40)).setTo(0);     // a stroke 3 pixels wide, to the edges
  grey(cv::Rect(30, 5, 25, 25)).setTo(60);   // a blot much wider than the radius
  cv::Mat result;
  StrokeFilter(grey, 5, &result);
  ASSERT_EQ(grey.size(), result.size());
  EXPECT_EQ(0, result.at<uint8_t>(20, 11)) << "stroke centre";
  EXPECT_EQ(255, result.at<uint8_t>(17, 42)) << "inside the blot";
  EXPECT_EQ(255, result.at<uint8_t>(20, 3)) << "paper";
  EXPECT_EQ(255, result.at<uint8_t>(0, 11)) << "the outermost rows stay paper";
  cv::Mat untouched = cv::Mat(3, 3, CV_8U, cv::Scalar(7));
  StrokeFilter(cv::Mat(), 5, &untouched);
  EXPECT_EQ(7, untouched.at<uint8_t>(1, 1));
}

TEST_F(ScalarPage, ProgressRunsFromZeroToOneWithTheBlockCount) {
  cv::Mat page(500, 400, CV_8U, cv::Scalar(255));
  for (int i = 0; i < 4; ++i) DrawBox(page, 150, 40 + 110 * i, 30);
  std::string text;
  ASSERT_TRUE(ocr_.Recognize(page, &text, Record, false));
  EXPECT_EQ(kShang + "\r\n" + kShang + "\r\n" + kShang + "\r\n" + kShang, text);
  ASSERT_EQ(6u, reports.size());
  EXPECT_EQ(0.0, reports[0].first);
  EXPECT_EQ("\xCD\xBC\xCF\xF1\xD4\xA4\xB4\xA6\xC0\xED", reports[0].second);  // 图像预处理
  EXPECT_EQ(0.05, reports[1].first);
  EXPECT_EQ(Gbk("完成图像预处理，开始字符识别"), reports[1].second);
  EXPECT_DOUBLE_EQ(0.2875, reports[2].first);
  EXPECT_EQ(Gbk("字符识别中，识别处理已经完成") + "28.750%", reports[2].second);
  EXPECT_DOUBLE_EQ(1.0, reports[5].first);
  EXPECT_EQ(Gbk("字符识别中，识别处理已经完成") + "100.000%", reports[5].second);
}

TEST_F(ScalarPage, CancelStopsAtOnceAndLeavesTheTextAlone) {
  cv::Mat page(300, 400, CV_8U, cv::Scalar(255));
  DrawBox(page, 150, 40, 30);
  DrawBox(page, 150, 160, 30);
  std::string text = "kept";
  cancelAt = 0.05;
  EXPECT_FALSE(ocr_.Recognize(page, &text, Record, false));
  EXPECT_EQ("kept", text);
  EXPECT_EQ(2u, reports.size());

  reports.clear();
  cancelAt = 0.525;  // after the first of two blocks
  EXPECT_FALSE(ocr_.Recognize(page, &text, Record, false));
  EXPECT_EQ("kept", text);
  EXPECT_EQ(3u, reports.size());
}

// Asked before it starts, it reads nothing; asked once the first of three
// blocks is read, it ends with that block and leaves the text alone.
TEST_F(ScalarPage, AStopRequestEndsItBeforeTheNextStepOrBlock) {
  cv::Mat page(400, 400, CV_8U, cv::Scalar(255));
  for (int i = 0; i < 3; ++i) DrawBox(page, 150, 40 + 110 * i, 30);
  for (const size_t stopAtReports : {size_t{0}, size_t{3}}) {
    reports.clear();
    ocr_.SetStopCheck([stopAtReports] { return reports.size() >= stopAtReports; });
    std::vector<OCRTextBlock> blocks;
    EXPECT_FALSE(ocr_.RecognizeBlocks(page, &blocks, Record, false));
    EXPECT_EQ(stopAtReports == 0 ? 0u : 1u, blocks.size());
    EXPECT_EQ(stopAtReports, reports.size());
    std::string text = "kept";
    EXPECT_FALSE(ocr_.Recognize(page, &text, Record, false));
    EXPECT_EQ("kept", text);
  }
  ocr_.SetStopCheck(nullptr);
  std::string text;
  EXPECT_TRUE(ocr_.Recognize(page, &text, Record, false));
}

TEST_F(ScalarPage, BlankPageGivesNoTextAfterTwoReports) {
  cv::Mat page(300, 400, CV_8U, cv::Scalar(255));
  page(cv::Rect(100, 100, 4, 4)).setTo(0);  // a speck, far below a block's size
  std::string text = "old";
  EXPECT_FALSE(ocr_.Recognize(page, &text, Record, false));
  EXPECT_EQ("", text);
  ASSERT_EQ(2u, reports.size());
  EXPECT_EQ(0.05, reports[1].first);

  CDocOCR unloaded;
  text = "old";
  EXPECT_FALSE(unloaded.Recognize(page, &text, Record, false));
  EXPECT_FALSE(ocr_.Recognize(cv::Mat(), &text, Record, false));
  EXPECT_EQ("old", text);
  EXPECT_EQ(2u, reports.size());
}

TEST_F(ScalarPage, GlyphsAtThePageEdgesAreRead) {
  // Boxes touching the left, right and bottom edges: their blocks reach the
  // edge and must neither vanish nor leave the page.
  cv::Mat page(300, 400, CV_8U, cv::Scalar(255));
  DrawBox(page, 0, 40, 30);
  DrawBox(page, 370, 140, 30);
  DrawBox(page, 180, 270, 30);
  std::string text;
  ASSERT_TRUE(ocr_.Recognize(page, &text, nullptr, false));
  EXPECT_EQ(kShang + "\r\n" + kShang + "\r\n" + kShang, text);

  // A binary page takes the same way without the stroke filter.
  std::string binaryText;
  ASSERT_TRUE(ocr_.Recognize(page, &binaryText, nullptr, true));
  EXPECT_EQ(text, binaryText);
}

// The failure is told in UTF-8 with the path as it is, whatever its script.
TEST(ModelLoading, MissingModelPrintsTheFailureText) {
  CDocOCR ocr;
  const std::string missing = vqtest::TempPath("识别模型/缺少.tpl");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ocr.Initialize(missing.c_str()));
  EXPECT_EQ("Text recognition cannot start: the recognition model \"" + missing + "\" is missing or damaged.\n",
            testing::internal::GetCapturedStderr());
  std::string text = "old";
  EXPECT_FALSE(ocr.Recognize(cv::Mat(50, 50, CV_8U, cv::Scalar(255)), &text, nullptr, false));
  EXPECT_EQ("old", text);
}

// The product model made from the fonts at build time.
class ProductModel : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
    ASSERT_TRUE(ocr_.Initialize(VQ_RECOGNITION_MODEL));
  }
  std::string Read(const cv::Mat& page) {
    std::string text;
    EXPECT_TRUE(ocr_.Recognize(page, &text, nullptr, false));
    return text;
  }
  CDocOCR ocr_;
};

TEST_F(ProductModel, PrintedLineGivesItsGbkBytes) {
  const cv::Mat page = PrintedLines({360, 140}, {"大人天子手"}, {40, 40});
  EXPECT_EQ(std::string("\xB4\xF3\xC8\xCB\xCC\xEC\xD7\xD3\xCA\xD6"), Read(page));
  // 明 is two runs of ink; the lattice keeps it whole.
  EXPECT_EQ(Gbk("明天明白"), Read(PrintedLines({300, 140}, {"明天明白"}, {40, 40})));
}

TEST_F(ProductModel, TwoColumnPageIsReadInReadingOrder) {
  const std::vector<std::string> left = {"我们今天学习中文", "大家都很高兴见面", "这本书非常有意思"};
  const std::vector<std::string> right = {"明天上午去图书馆", "老师说话声音很大", "学生认真回答问题"};
  cv::Mat page(320, 1000, CV_8U, cv::Scalar(255));
  cv::min(page, PrintedLines(page.size(), left, {40, 50}), page);
  cv::min(page, PrintedLines(page.size(), right, {560, 50}), page);
  std::string expected;
  for (size_t i = 0; i < left.size(); ++i) expected += (i ? "\r\n" : "") + Gbk(left[i]) + "      " + Gbk(right[i]);
  const std::string text = Read(page);
  EXPECT_EQ(expected, text) << Utf8(text);

  // A camera's colour picture of the page reads the same.
  cv::Mat colour;
  cv::cvtColor(page, colour, cv::COLOR_GRAY2BGR);
  EXPECT_EQ(text, Read(colour));
}

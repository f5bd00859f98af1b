// Pages as a document camera sees them: soft desk photographs, pages turned
// a few degrees, and Latin pages the orientation detector turns upright.
// The cheap cases use no model; the pages are read with the product model.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/AutoCrop.h"
#include "imaging/ImageEnhancement.h"
#include "ocr/DocOCR.h"
#include "ocr/PageFocus.h"
#include "ocr/TextOrientationDetector.h"
#include "scene/PrintedPage.h"
#include "scene/Renderer.h"
#include "tests/ocr/PrintedText.h"

using namespace ocrtest;

namespace {

const char kCommonCharacters[] =
    "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说产种面而方"
    "后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当使点从业本去把性好应开它"
    "合还因由其些然前外天政四日那社义事平形相全表间样与关各重新线内数正心反你明看原又么利比或但质气第向道命此变条";

double Accuracy(const std::u32string& truth, const std::u32string& read) {
  return 1.0 - static_cast<double>(vqscene::EditDistance(truth, read)) / static_cast<double>(truth.size());
}

std::u32string Characters(const std::string& gbk) {
  std::u32string kept;
  for (char32_t c : Codes(Utf8(gbk)))
    if (c != U' ' && c != U'\r' && c != U'\n') kept.push_back(c);
  return kept;
}

// A horizontal bar of ink (255) `length` long, turned `degrees` about its
// left end, in a block just large enough.
cv::Mat TurnedBar(int length, int thickness, double degrees) {
  const double a = degrees * CV_PI / 180.0;
  const int rise = static_cast<int>(std::ceil(std::fabs(length * std::sin(a))));
  cv::Mat block = cv::Mat::zeros(rise + 2 * thickness + 2, length + 2, CV_8U);
  const cv::Point from(1, degrees > 0 ? thickness : rise + thickness);
  const cv::Point to(from.x + static_cast<int>(length * std::cos(a)), from.y + static_cast<int>(length * std::sin(a)));
  cv::line(block, from, to, cv::Scalar::all(255), thickness);
  return block;
}

OCRTextBlock Block(const std::string& text, cv::Rect r) {
  OCRTextBlock block;
  block.text = text;
  block.x = r.x;
  block.y = r.y;
  block.width = r.width;
  block.height = r.height;
  return block;
}

}  // namespace

TEST(PageFocus, CrispPrintIsLeftAloneAndBlurredPrintSharpened) {
  const cv::Mat crisp = PrintedLines({500, 220}, {"文字识别的结果应当", "正确显示在窗口里"}, {30, 30});
  const PageFocus sharp = MeasurePageFocus(crisp);
  EXPECT_GT(sharp.edgeSharpness, kSoftEdgeSharpness);
  EXPECT_LT(sharp.noise, 0.5);
  cv::Mat out(1, 1, CV_8U, cv::Scalar::all(7));
  EXPECT_FALSE(SharpenSoftPage(crisp, &out));
  EXPECT_EQ(7, out.at<uint8_t>(0, 0));  // untouched
  EXPECT_FALSE(SharpenSoftPage(cv::Mat(200, 200, CV_8U, cv::Scalar::all(240)), &out));  // blank

  // A camera's grey paper, blur and noise: soft, and the noise is measured.
  cv::Mat soft;
  crisp.convertTo(soft, CV_8U, 0.75, 30.0);
  cv::GaussianBlur(soft, soft, cv::Size(), 1.0);
  cv::Mat noise(soft.size(), CV_16S);
  cv::RNG(7).fill(noise, cv::RNG::NORMAL, 0, 4);
  soft.convertTo(soft, CV_16S);
  soft += noise;
  soft.convertTo(soft, CV_8U);
  const PageFocus blurred = MeasurePageFocus(soft);
  EXPECT_LT(blurred.edgeSharpness, kSoftEdgeSharpness);
  EXPECT_NEAR(4.0, blurred.noise, 1.0);
  ASSERT_TRUE(SharpenSoftPage(soft, &out));
  EXPECT_GT(MeasurePageFocus(out).edgeSharpness, blurred.edgeSharpness);

  // Noise wider than a pixel (a dim frame, resampled) spreads the paper
  // further than its single pixels' noise tells; white noise does not.
  EXPECT_LT(blurred.paperNoise, 1.5 * blurred.noise);
  cv::Mat grain(crisp.size(), CV_32F), grainy;
  cv::RNG(8).fill(grain, cv::RNG::NORMAL, 0, 12);
  cv::GaussianBlur(grain, grain, cv::Size(), 1.2);
  crisp.convertTo(grainy, CV_32F, 0.75, 30.0);
  cv::GaussianBlur(grainy, grainy, cv::Size(), 1.0);
  cv::Mat(grainy + grain).convertTo(grainy, CV_8U);
  const PageFocus grained = MeasurePageFocus(grainy);
  EXPECT_GT(grained.paperNoise, 1.5 * grained.noise);
  // A hard JPEG compression shows its 8 x 8 blocks.
  std::vector<uchar> bytes;
  cv::Mat clean;
  crisp.convertTo(clean, CV_8U, 0.75, 30.0);
  cv::GaussianBlur(clean, clean, cv::Size(), 1.0);
  ASSERT_TRUE(cv::imencode(".jpg", clean, bytes, {cv::IMWRITE_JPEG_QUALITY, 30}));
  EXPECT_GT(MeasurePageFocus(cv::imdecode(bytes, cv::IMREAD_GRAYSCALE)).blockiness, 1.15);
  EXPECT_LT(MeasurePageFocus(clean).blockiness, 1.1);
}

TEST(LineSkew, LongBlocksTellTheTurnAndShortOrLevelOnesDoNot) {
  EXPECT_NEAR(3.0, EstimateLineSkew({TurnedBar(600, 20, 3.0), TurnedBar(500, 20, 3.0)}), 0.3);
  EXPECT_NEAR(-4.0, EstimateLineSkew({TurnedBar(600, 20, -4.0)}), 0.3);
  // Within half a degree the page is level; squat blocks say nothing.
  EXPECT_EQ(0.0, EstimateLineSkew({TurnedBar(600, 20, 0.3)}));
  EXPECT_EQ(0.0, EstimateLineSkew({TurnedBar(60, 20, 10.0)}));
  EXPECT_EQ(0.0, EstimateLineSkew({}));
  // The wider blocks outweigh a fragment turned otherwise.
  EXPECT_NEAR(2.0, EstimateLineSkew({TurnedBar(800, 20, 2.0), TurnedBar(150, 10, -8.0)}), 0.3);
}

TEST(LineSkew, BlocksOfATurnedPageAreOrderedAndJoinedAsIfLevel) {
  // Two lines of three fragments each, 50 pixels apart, falling 4 degrees
  // to the right: the right end of the first line lies below the left end
  // of the second.
  const double slope = std::tan(4.0 * CV_PI / 180.0);
  std::vector<OCRTextBlock> blocks;
  const char* names[2][3] = {{"a", "b", "c"}, {"d", "e", "f"}};
  for (int line = 1; line >= 0; --line)
    for (int part = 2; part >= 0; --part) {
      const int x = 100 + 420 * part, y = 100 + 50 * line + static_cast<int>(slope * (x - 100));
      blocks.push_back(Block(names[line][part], {x, y, 400, 33 + static_cast<int>(slope * 400)}));
    }
  std::string text;
  ASSERT_TRUE(JoinTextBlocks(blocks, &text, 4.0));
  EXPECT_EQ("a      b      c\r\nd      e      f", text);
  ASSERT_TRUE(JoinTextBlocks(blocks, &text));
  EXPECT_NE("a      b      c\r\nd      e      f", text);  // taken as level, they mix

  // Turned level, a band keeps its length and thickness.
  const OCRTextBlock level = LevelTextBlock(Block("", {0, 0, 400 + 2, 33 + 28}), 4.0);
  EXPECT_NEAR(400, level.width, 4);
  EXPECT_NEAR(33, level.height, 4);
}

namespace {

// The product model made from the fonts at build time.
class CameraPages : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
    ASSERT_TRUE(ocr_.Initialize(VQ_RECOGNITION_MODEL));
  }
  CDocOCR ocr_;
};

}  // namespace

// A bold face the model was not made from, 22 pixels, photographed on a
// desk: blurred, noisy, darker in the corners, a shadow over one corner.
TEST_F(CameraPages, BlurredDeskPhotoIsReadAboveNinetyFivePercent) {
  const vqscene::CjkFont bold{"Noto Sans CJK SC Bold", "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc", 2};
  ASSERT_TRUE(vqscene::FontInstalled(bold));
  vqscene::CjkTextRenderer renderer(bold);
  const cv::Size frameSize(1280, 960);
  cv::RNG rng(40);
  const vqscene::PrintedText printed = vqscene::SetChineseParagraphs(
      renderer, vqscene::SheetPixels(frameSize, false), 22, Codes(kCommonCharacters), rng);
  vqscene::DeskLight light;
  light.blur = 1.1;
  const cv::Mat frame = vqscene::RenderScene(vqscene::PhotographedSheet(printed.print, frameSize, 3.0f, light, 9));

  // Cut and lit as the recognition command does.
  cv::Mat page, lit;
  ASSERT_TRUE(AutoCropDocument(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &page));
  ASSERT_TRUE(CImageProcess().NormalizeBrightness(page, lit, 240));
  std::string text;
  ASSERT_TRUE(ocr_.Recognize(lit, &text, nullptr, false));
  EXPECT_GT(Accuracy(printed.text, Characters(text)), 0.95) << Utf8(text);
}

// Twelve-point lines at 200 dpi, as set on A4: over a line's length the turn
// drops more than the line spacing.
TEST_F(CameraPages, PageTurnedFourDegreesIsReadLineByLineInOrder) {
  const std::vector<std::string> lines = {"我们今天学习中文大家都很高兴见面这本书非常有意思明天上午",
                                          "去图书馆老师说话声音很大学生认真回答问题文字识别的结果应",
                                          "当正确显示页面方向检测线程每隔一段时间检查当前文档的方向",
                                          "并且旋转预览窗口使文字保持正立状态这是一个测试页面包含字"};
  std::vector<std::u32string> codes;
  for (const std::string& line : lines) codes.push_back(Codes(line));
  vqscene::CjkTextRenderer renderer(vqscene::SongFont());
  cv::Mat page = vqscene::RenderTextLines(renderer, {1100, 300}, codes, {40, 60}, 33, 34, 50);
  const cv::Mat turn = cv::getRotationMatrix2D({550.0f, 150.0f}, -4.0, 1.0);
  cv::warpAffine(page, page, turn, page.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(255));
  std::string text;
  ASSERT_TRUE(ocr_.Recognize(page, &text, nullptr, false));

  // One line of the page per line of text, in the page's order.
  std::vector<std::string> read;
  for (size_t start = 0;;) {
    const size_t end = text.find("\r\n", start);
    read.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), read.size()) << Utf8(text);
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_GT(Accuracy(Codes(lines[i]), Characters(read[i])), 0.9) << i << ": " << Utf8(read[i]);
}

// English in a large serif face, photographed and cut as the orientation
// thread does, in each quarter turn: the letters tell the way it lies.
TEST(CameraPageOrientation, EnglishPageIsTurnedUprightInEveryTurn) {
  if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
  CTextOrientationDetector detector;
  ASSERT_TRUE(detector.Initialize(VQ_RECOGNITION_MODEL));
  const vqscene::CjkFont serif{"Liberation Serif", "/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf", 0};
  ASSERT_TRUE(vqscene::FontInstalled(serif));
  vqscene::CjkTextRenderer renderer(serif);
  const cv::Size frameSize(1280, 960);
  cv::RNG rng(5);
  const cv::Mat upright = vqscene::SetEnglishParagraphs(renderer, vqscene::SheetPixels(frameSize, false), 30, rng);
  const cv::Mat turns[4] = {upright, RotateImage90Clockwise(upright), RotateImage180(upright),
                            RotateImage90CounterClockwise(upright)};
  for (int k = 0; k < 4; ++k) {
    const cv::Mat frame =
        vqscene::RenderScene(vqscene::PhotographedSheet(turns[k], frameSize, 2.0f, vqscene::DeskLight(), 11 + k));
    cv::Mat page;
    ASSERT_TRUE(AutoCropDocument(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &page)) << k;
    int angle = -1;
    EXPECT_TRUE(detector.Detect(page, &angle, false)) << "turned " << 90 * k;
    EXPECT_EQ(90 * k, angle);
  }
}

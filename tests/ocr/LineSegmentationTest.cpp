// Text-line segmentation: runs of ink columns, the candidate cells made of
// them, the reject boundary, and the glyph bytes the engine receives.
#include <gtest/gtest.h>

#include <vector>

#include "ocr/DocOCR.h"
#include "ocr/FeatureChain.h"
#include "ocr/TextLineSegmentation.h"
#include "tests/ocr/ModelWriter.h"

using namespace ocrtest;

namespace {

struct Rect4 {
  int left, top, height, width;
  bool operator==(const Rect4&) const = default;
};

std::vector<Rect4> Rectangles(const std::vector<OCRCandidate>& candidates) {
  std::vector<Rect4> rects;
  for (const OCRCandidate& c : candidates) rects.push_back({c.left, c.top, c.height, c.width});
  return rects;
}

std::vector<int> Profile(std::vector<int> profile, int maxWidth) {
  std::vector<int> covered(profile.size(), 0);
  for (const ColumnRun& run : SplitRuns(profile, maxWidth))
    for (int c = run.first; c <= run.last; ++c) covered[c] = 1;
  return covered;
}

}  // namespace

TEST(LineSegmentation, RunsWiderThanAGlyphAreCutAtTheirWeakestColumn) {
  // A run exactly maxW wide is cut at its leftmost smallest count.
  EXPECT_EQ((std::vector<int>{0, 1, 1, 0, 1, 1, 1, 0}), Profile({0, 3, 2, 1, 1, 2, 3, 0}, 6));
  EXPECT_EQ((std::vector<int>{0, 1, 1, 1, 1, 1, 1, 0}), Profile({0, 3, 2, 1, 1, 2, 3, 0}, 7));
  // Cut pass after pass until every run is narrower.
  EXPECT_EQ((std::vector<int>{1, 0, 1, 0, 0, 1}), Profile({5, 1, 4, 2, 3, 9}, 2));
  EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), Profile({1, 2, 3, 4}, 1));

  // A one-pixel-wide stroke adds nothing to the column profile.
  cv::Mat block = cv::Mat::zeros(20, 10, CV_8U);
  block.col(4).setTo(255);
  EXPECT_EQ(std::vector<int>(10, 0), ColumnProfile(block));
  block.col(5).setTo(255);
  EXPECT_EQ(20, ColumnProfile(block)[4]);
}

class ScalarLine : public ::testing::Test {
 protected:
  void Load(const ModelWriter& model) { ASSERT_TRUE(ocr_.Initialize(model.Save("line.tpl").c_str())); }
  std::vector<OCRCandidate> Segment(const cv::Mat& block) {
    std::vector<OCRCandidate> candidates;
    ocr_.SegmentLine(block, &candidates, block);
    return candidates;
  }
  CDocOCR ocr_;
};

TEST_F(ScalarLine, TwoGlyphsGiveFirstBothAndSecondCells) {
  Load(ScalarTemplateModel("Cos", 1.0, {{kShang, 0.95}}));
  cv::Mat block = cv::Mat::zeros(40, 60, CV_8U);
  block(cv::Rect(5, 5, 15, 30)).setTo(200);    // columns 5..19, rows 5..34
  block(cv::Rect(21, 10, 15, 21)).setTo(200);  // columns 21..35, rows 10..30
  int height = 0;
  ASSERT_TRUE(EstimateGlyphHeight(block, &height));
  EXPECT_EQ(30, height);  // maxW 36: the pair (30 columns) is a cell too
  const std::vector<OCRCandidate> candidates = Segment(block);
  // A run ends one column before its glyph's last: that column has no right neighbour.
  EXPECT_EQ((std::vector<Rect4>{{5, 5, 30, 14}, {5, 5, 30, 30}, {21, 10, 21, 14}}), Rectangles(candidates));
  for (const OCRCandidate& c : candidates) {
    ASSERT_EQ(1, c.alternatives.Count());
    EXPECT_STREQ(kShang.c_str(), c.alternatives.At(0)->text.c_str());
    EXPECT_NEAR(0.95, c.alternatives.At(0)->score, 1e-12);
    EXPECT_NEAR(0.05, c.bestDistance, 1e-12);
  }
  std::string text;
  ASSERT_TRUE(ocr_.RecognizeTextLine(block, &text, block));
  EXPECT_EQ(kShang + kShang, text) << "two cells of 0.95 beat one of 0.95 only on a tie: the first complete path";

  // Farther apart than 1.2 glyph heights: no joint cell.
  cv::Mat apart = cv::Mat::zeros(40, 80, CV_8U);
  apart(cv::Rect(5, 5, 15, 30)).setTo(200);
  apart(cv::Rect(40, 5, 15, 30)).setTo(200);
  EXPECT_EQ(2u, Segment(apart).size());
}

TEST_F(ScalarLine, FlatOutlinesGiveNoCandidate) {
  Load(ScalarTemplateModel("Cos", 1.0, {{kShang, 0.95}}));
  cv::Mat block = cv::Mat::zeros(20, 60, CV_8U);
  block(cv::Rect(5, 5, 40, 1)).setTo(255);
  block(cv::Rect(5, 12, 40, 1)).setTo(255);
  EXPECT_TRUE(Segment(block).empty());
  std::string text = "old";
  EXPECT_FALSE(ocr_.RecognizeTextLine(block, &text, block));
  EXPECT_EQ("old", text);
}

TEST_F(ScalarLine, DistanceOf032IsRejectedAsASpace) {
  // MQDF with mean 1 on the scalar feature 1: the distance is the constant.
  for (double constant : {0.32, 0.3199}) {
    Load(ScalarMQDFModel("Cos", 1.0, {{kXia, 1.0, 0.0, 1.0, constant}}));
    cv::Mat block = cv::Mat::zeros(40, 40, CV_8U);
    block(cv::Rect(5, 5, 20, 30)).setTo(255);
    const std::vector<OCRCandidate> candidates = Segment(block);
    ASSERT_EQ(1u, candidates.size());
    const OCRAlternative& reading = *candidates[0].alternatives.At(0);
    if (constant == 0.32) {
      EXPECT_STREQ(" ", reading.text.c_str());
      EXPECT_DOUBLE_EQ(0.68, reading.score);
      EXPECT_DOUBLE_EQ(0.32, candidates[0].bestDistance);
      std::string text;
      ASSERT_TRUE(ocr_.RecognizeTextLine(block, &text, block));
      EXPECT_EQ("", text);
    } else {
      EXPECT_STREQ(kXia.c_str(), reading.text.c_str());
      EXPECT_DOUBLE_EQ(constant, candidates[0].bestDistance);
    }
  }
}

TEST(GlyphRecognition, GlyphCutFromALargerImageReachesTheEngineWithoutPadding) {
  // A model whose one template is the glyph's own features: the glyph reads
  // at distance 0 only when its rows arrive unpadded.
  cv::Mat page = cv::Mat::zeros(80, 90, CV_8U);
  page(cv::Rect(20, 15, 30, 6)).setTo(180);
  page(cv::Rect(32, 15, 6, 40)).setTo(220);
  page(cv::Rect(20, 45, 25, 5)).setTo(255);
  const cv::Mat glyph = page(cv::Rect(15, 10, 41, 47));
  ASSERT_FALSE(glyph.isContinuous());
  const cv::Mat packed = glyph.clone();
  FeatureChain chain;
  chain.normalizer = CreateImageNormalizer("LN");
  chain.extractor = CreateFeatureExtractor("GRA");
  ASSERT_TRUE(chain.SetDistance("L2"));
  OCRMatrixPtr features(chain.Compute(packed.data, packed.cols, packed.rows, false));
  ASSERT_TRUE(features);
  ModelWriter model;
  model.Text("NEW").Text("LN").Text("GRA").Text("L2").Text(kDa);
  model.Doubles(1, 512, std::vector<double>(MatrixData<double>(features.get()), MatrixData<double>(features.get()) + 512));
  CDocOCR ocr;
  ASSERT_TRUE(ocr.Initialize(model.Save("own.tpl").c_str()));
  std::string labels;
  std::vector<double> distances = {7.0};
  ASSERT_TRUE(ocr.RecognizeGlyph(1, glyph, &labels, &distances));
  EXPECT_EQ(kDa, labels);
  ASSERT_EQ(2u, distances.size()) << "distances are appended";
  EXPECT_EQ(0.0, distances[1]);
  EXPECT_FALSE(ocr.RecognizeGlyph(1, cv::Mat::zeros(10, 10, CV_8U), &labels, &distances)) << "no ink";
  EXPECT_EQ(2u, distances.size());
}

// Templates compared in blocks give, on real glyphs of printed lines, the
// very distances of the one-template-at-a-time comparison, and, through the
// labels' means, its near candidates.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "ocr/CandidateSet.h"
#include "ocr/OCRMultiTpl.h"
#include "ocr/PackedTemplates.h"
#include "tests/ocr/PrintedText.h"

using namespace ocrtest;

namespace {

constexpr int kCount = 10;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
const char kText[] = "文字识别结果正确显示方向";
constexpr int kChars = 12;
// In the Hei face: characters whose label's templates (at size and enlarged
// small print) average far from the sharp glyph.
const char kHeiText[] = "阀嚣避";
constexpr int kHeiChars = 3;

// Glyphs as the page reader hands them over (ink bright), one per pitch of
// a printed line: sharp, soft as under a camera, and small; then the sharp
// Hei line.
std::vector<cv::Mat> LineGlyphs() {
  const cv::Mat sharp = PrintedLines({kChars * kPitch + 40, 100}, {kText}, {20, 30});
  const cv::Mat hei = PrintedLines({kChars * kPitch + 40, 100}, {kHeiText}, {20, 30}, vqscene::HeiFont());
  cv::Mat soft, small;
  cv::GaussianBlur(sharp, soft, cv::Size(), 1.2);
  cv::resize(soft, small, cv::Size(), 0.6, 0.6, cv::INTER_AREA);
  std::vector<cv::Mat> glyphs;
  const std::pair<cv::Mat, int> lines[] = {{sharp, kChars}, {soft, kChars}, {small, kChars}, {hei, kHeiChars}};
  for (const auto& [line, chars] : lines) {
    const double scale = static_cast<double>(line.cols) / sharp.cols;
    for (int i = 0; i < chars; ++i) {
      const int x0 = static_cast<int>((20 + i * kPitch) * scale);
      const int x1 = static_cast<int>((20 + (i + 1) * kPitch) * scale);
      cv::Mat glyph;
      cv::subtract(cv::Scalar::all(255), line(cv::Rect(x0, 0, x1 - x0, line.rows)), glyph);
      glyphs.push_back(glyph.clone());
    }
  }
  return glyphs;
}

class ProductTemplates : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
    ASSERT_TRUE(engine_.Load(VQ_RECOGNITION_MODEL));
    ASSERT_FALSE(engine_.Sets().empty());
  }
  COCRMultiTpl engine_;
};

}  // namespace

TEST_F(ProductTemplates, BlocksGiveEveryDistanceToTheBit) {
  const std::vector<cv::Mat> glyphs = LineGlyphs();
  for (const TemplateSet& set : engine_.Sets()) {
    ASSERT_TRUE(set.chain.cosine);
    ASSERT_EQ(set.templates.size(), set.packed.Count());
    const size_t count = set.packed.Count();
    std::vector<PackedTemplates::Kernel> kernels = {PackedTemplates::Kernel::kPortable};
    if (PackedTemplates::WideKernelAvailable()) kernels.push_back(PackedTemplates::Kernel::kWide);
    for (size_t g = 0; g < glyphs.size(); ++g) {
      const cv::Mat& glyph = glyphs[g];
      OCRMatrixPtr features(set.chain.Compute(glyph.data, glyph.cols, glyph.rows, false));
      ASSERT_TRUE(features);
      ASSERT_EQ(set.packed.Length(), OCRElementCount(features.get()));
      std::vector<double> plain(count);
      for (size_t t = 0; t < count; ++t)
        ASSERT_EQ(0, set.chain.distance->Distance(set.templates[t].get(), features.get(), &plain[t]));
      for (PackedTemplates::Kernel kernel : kernels) {
        // The whole set at once, and from a later block on with a short end.
        std::vector<double> packed(count, -1.0);
        set.packed.CosineDistances(MatrixData<double>(features.get()), 0, count, packed.data(), kInfinity, kernel);
        const size_t first = PackedTemplates::kLanes * 3, n = count - first - 5;
        std::vector<double> part(n + 1, -1.0);
        set.packed.CosineDistances(MatrixData<double>(features.get()), first, n, part.data(), kInfinity, kernel);
        for (size_t t = 0; t < count; ++t) ASSERT_EQ(plain[t], packed[t]) << "glyph " << g << " template " << t;
        for (size_t t = 0; t < n; ++t) ASSERT_EQ(plain[first + t], part[t]) << "glyph " << g << " template " << t;
        EXPECT_EQ(-1.0, part[n]) << "written past the end";
        // Only the lanes asked for, the others unfinished.
        const unsigned lanes = 0xA5;
        std::vector<double> some(count, -1.0);
        set.packed.CosineDistances(set.packed.Prepare(MatrixData<double>(features.get())), 0, count, some.data(),
                                   kInfinity, kernel, lanes);
        for (size_t t = 0; t < count; ++t)
          ASSERT_EQ(lanes >> (t % PackedTemplates::kLanes) & 1 ? plain[t] : kInfinity, some[t]) << "template " << t;

        // Given the tenth best distance as a limit, a template is either
        // finished to the bit or provably beyond the limit; most are not
        // finished.
        std::vector<double> sorted = plain;
        std::nth_element(sorted.begin(), sorted.begin() + kCount - 1, sorted.end());
        const double limit = sorted[kCount - 1];
        std::vector<double> bounded(count, -1.0);
        set.packed.CosineDistances(MatrixData<double>(features.get()), 0, count, bounded.data(), limit, kernel);
        size_t unfinished = 0;
        for (size_t t = 0; t < count; ++t) {
          if (bounded[t] == kInfinity) {
            ++unfinished;
            ASSERT_GT(plain[t], limit) << "glyph " << g << " template " << t;
          } else {
            ASSERT_EQ(plain[t], bounded[t]) << "glyph " << g << " template " << t;
          }
        }
        EXPECT_GT(unfinished, count / 4) << "glyph " << g;
      }
    }
  }
}

// Candidates this much further than the best, or no closer than the
// reject distance, need not be found: besides the best, no reading that far
// is ever taken. Of the nearer ones, the labels' means let few slip.
constexpr double kNear = 0.15;
constexpr double kRejected = 0.32;
constexpr double kNearFound = 0.9;

TEST_F(ProductTemplates, NearCandidatesAreThoseOfThePlainComparison) {
  const std::vector<cv::Mat> glyphs = LineGlyphs();
  const std::string printed = Gbk(kText);
  int near = 0, found = 0;
  for (size_t g = 0; g < glyphs.size(); ++g) {
    const cv::Mat& glyph = glyphs[g];
    std::string expectedLabels;
    for (const TemplateSet& set : engine_.Sets()) {
      OCRMatrixPtr features(set.chain.Compute(glyph.data, glyph.cols, glyph.rows, false));
      ASSERT_TRUE(features);
      CandidateSet<size_t> best(kCount);
      std::vector<double> plain(set.templates.size());
      for (size_t t = 0; t < set.templates.size(); ++t) {
        ASSERT_EQ(0, set.chain.distance->Distance(set.templates[t].get(), features.get(), &plain[t]));
        best.Offer(plain[t], t);
      }
      char labels[2 * kCount + 1] = {};
      double distances[kCount] = {};
      ASSERT_TRUE(engine_.MatchTemplateSet(glyph.data, glyph.cols, glyph.rows, labels, kCount, distances, set));
      ASSERT_EQ(static_cast<size_t>(kCount), best.Items().size());
      ASSERT_FALSE(set.members.empty()) << "the product model compares the labels' means first";
      auto returned = [&](const std::string& label, double distance) {
        for (int i = 0; i < kCount; ++i)
          if (std::string(labels + 2 * i, 2) == label && distances[i] == distance) return true;
        return false;
      };
      // Every candidate given is a template's own distance, to the bit.
      for (int i = 0; i < kCount; ++i) {
        bool exact = false;
        for (size_t t = 0; t < set.templates.size() && !exact; ++t)
          exact = set.labels[t] == std::string(labels + 2 * i, 2) && plain[t] == distances[i];
        EXPECT_TRUE(exact) << "glyph " << g << " candidate " << i;
      }
      // The best is found; of the near ones, most.
      const double first = best.Items().begin()->first;
      EXPECT_EQ(set.labels[best.Items().begin()->second], std::string(labels, 2)) << "glyph " << g;
      EXPECT_EQ(first, distances[0]) << "glyph " << g;
      for (const auto& [distance, t] : best.Items())
        if (distance > first && distance <= first + kNear && distance < kRejected) {
          ++near;
          found += returned(set.labels[t], distance);
        }
    if (expectedLabels.empty()) expectedLabels = set.labels[best.Items().begin()->second];
    }
    // The whole engine agrees on the best one.
    char labels[2 * kCount + 1] = {};
    double distances[kCount] = {};
    ASSERT_TRUE(engine_.Recognize(glyph.data, glyph.cols, glyph.rows, labels, kCount, distances));
    if (engine_.Sets().size() == 1) {
      EXPECT_EQ(expectedLabels, std::string(labels, 2));
    }
    // The sharp line is read as printed: these are glyphs, not fragments.
    if (g < kChars) {
      EXPECT_EQ(printed.substr(2 * g, 2), std::string(labels, 2)) << "glyph " << g;
    }
    if (g >= 3 * kChars) {
      EXPECT_EQ(Gbk(kHeiText).substr(2 * (g - 3 * kChars), 2), std::string(labels, 2)) << "glyph " << g;
    }
  }
  EXPECT_GE(found, kNearFound * near) << found << " of " << near << " near candidates found";
}

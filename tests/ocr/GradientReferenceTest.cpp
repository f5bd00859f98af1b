// The gradient features against their pixel-by-pixel definition, to the bit:
// on printed glyphs as the normaliser hands them over, on odd sizes, and on
// an image too large for the table of scaled intensities.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "ocr/GradientFeatureExtractor.h"
#include "ocr/ImageNormalizer.h"
#include "tests/ocr/GlyphImages.h"
#include "tests/ocr/PrintedText.h"

using namespace ocrtest;

namespace {

// Each pixel's Sobel gradient split between its two neighbouring directions
// and spread bilinearly over the 8 x 8 zones, one pixel after the other.
std::vector<float> PixelByPixel(const OCRMatrix* image) {
  const int R = image->rows, C = image->cols, zh = R / 8, zw = C / 8, W = C + 2;
  std::vector<float> P(static_cast<size_t>(R + 2) * W, 0.0f), h(512, 0.0f);
  for (int y = 0; y < R; ++y)
    for (int x = 0; x < C; ++x) P[(y + 1) * W + x + 1] = MatrixData<uint8_t>(image)[y * C + x];
  CGradientFeatureExtractorImp::NormalizeIntensity(P);
  const double r = 0.70710678118654752440;
  const double sine[9] = {0, r, 1, r, 0, -r, -1, -r, 0}, cosine[9] = {1, r, 0, -r, -1, -r, 0, r, 1};
  auto at = [&](int y, int x) { return P[y * W + x]; };
  struct Span {
    int first, last;
    double firstWeight, lastWeight;
  };
  auto span = [](double a) {
    Span s{std::max(0, static_cast<int>(a - 0.5)), std::min(7, static_cast<int>(a + 0.5)), 1.0, 1.0};
    if (s.first >= s.last) {
      s.first = s.last = std::min(s.first, 7);
    } else {
      s.firstWeight = s.last + 0.5 - a;
      s.lastWeight = a - (s.first + 0.5);
    }
    return s;
  };
  for (int y = 1; y <= R; ++y)
    for (int x = 1; x <= C; ++x) {
      const float gy = (at(y + 1, x - 1) + 2 * at(y + 1, x) + at(y + 1, x + 1)) -
                       (at(y - 1, x - 1) + 2 * at(y - 1, x) + at(y - 1, x + 1));
      const float gx = (at(y - 1, x + 1) + 2 * at(y, x + 1) + at(y + 1, x + 1)) -
                       (at(y - 1, x - 1) + 2 * at(y, x - 1) + at(y + 1, x - 1));
      if (gx == 0.0f && gy == 0.0f) continue;
      const double X = gx, Y = gy;
      const int k = Y >= 0 ? (X > 0 ? (Y < X ? 0 : 1) : (Y > -X ? 2 : 3)) : (X < 0 ? (-Y < -X ? 4 : 5) : (-Y > X ? 6 : 7));
      const double share[2] = {(sine[k + 1] * X - cosine[k + 1] * Y) / sine[1], (cosine[k] * Y - sine[k] * X) / sine[1]};
      const Span rows = span((y - 1 + 0.5) / zh), cols = span((x - 1 + 0.5) / zw);
      for (int i = rows.first; i <= rows.last; ++i)
        for (int j = cols.first; j <= cols.last; ++j) {
          const double weight =
              (i == rows.first ? rows.firstWeight : rows.lastWeight) * (j == cols.first ? cols.firstWeight : cols.lastWeight);
          for (int d = 0; d < 2; ++d) {
            float& bin = h[(i * 8 + j) * 8 + (k + d) % 8];
            bin = static_cast<float>(static_cast<double>(bin) + share[d] * weight);
          }
        }
    }
  return h;
}

OCRMatrixPtr FromMat(const cv::Mat& image) {
  OCRMatrixPtr m(CreateMatrix(OCR_U8, image.rows, image.cols));
  for (int y = 0; y < image.rows; ++y) std::copy_n(image.ptr<uint8_t>(y), image.cols, MatrixData<uint8_t>(m.get()) + y * image.cols);
  return m;
}

void ExpectSameFeatures(const OCRMatrix* image, const char* what) {
  OCRMatrixPtr f(CGradientFeatureExtractorImp().Extract(image, 0));
  ASSERT_TRUE(f);
  const std::vector<float> expected = PixelByPixel(image);
  for (int i = 0; i < 512; ++i) ASSERT_EQ(expected[i], MatrixData<float>(f.get())[i]) << what << ", value " << i;
}

}  // namespace

TEST(GradientFeatures, SameAsThePixelByPixelSums) {
  // A printed line, sharp and soft, cut into glyphs and normalised.
  const cv::Mat sharp = PrintedLines({12 * kPitch + 40, 100}, {"永和识别边缘方向图像测试"}, {20, 30});
  cv::Mat soft;
  cv::GaussianBlur(sharp, soft, cv::Size(), 1.1);
  CLinearNormalizerImp normalizer;
  int glyphs = 0;
  for (const cv::Mat& line : {sharp, soft})
    for (int i = 0; i < 12; ++i) {
      cv::Mat ink;
      cv::subtract(cv::Scalar::all(255), line(cv::Rect(20 + i * kPitch, 0, kPitch, line.rows)), ink);
      OCRMatrixPtr glyph = FromMat(ink);
      OCRMatrixPtr normalized(normalizer.Normalize(glyph.get()));
      ASSERT_TRUE(normalized);
      ASSERT_EQ(64, normalized->rows);
      ExpectSameFeatures(normalized.get(), "normalised glyph");
      // The cut itself: rows and columns not a multiple of four or eight.
      ExpectSameFeatures(glyph.get(), "raw cut");
      ++glyphs;
    }
  EXPECT_EQ(24, glyphs);

  // Too many pixels for the intensities to add up exactly in a float.
  cv::Mat large;
  cv::resize(sharp(cv::Rect(0, 0, 4 * kPitch, 100)), large, cv::Size(301, 263));
  cv::subtract(cv::Scalar::all(255), large, large);
  ExpectSameFeatures(FromMat(large).get(), "large image");
  // A single bright pixel, and an image of one level only.
  OCRMatrixPtr dot = Blank(19, 23);
  MatrixData<uint8_t>(dot.get())[9 * 23 + 11] = 255;
  ExpectSameFeatures(dot.get(), "one pixel");
  OCRMatrixPtr flat = Blank(16, 16);
  std::fill_n(MatrixData<uint8_t>(flat.get()), 256, 7);
  ExpectSameFeatures(flat.get(), "one level");
}

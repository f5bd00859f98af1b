// Gradient and structural feature extractors on small hand-checkable glyphs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <numeric>

#include "ocr/CICLPFFeatureExtractor.h"
#include "ocr/CrossLineFeatureExtractor.h"
#include "ocr/GradientFeatureExtractor.h"
#include "ocr/PeripheralFeatureExtractor.h"
#include "ocr/StrokePosFeatureExtractor.h"
#include "tests/ocr/GlyphImages.h"

using namespace ocrtest;

namespace {
float Gra(const OCRMatrix* f, int zoneRow, int zoneCol, int direction) {
  return MatrixData<float>(f)[(zoneRow * 8 + zoneCol) * 8 + direction];
}
int32_t Int(const OCRMatrix* f, int i) { return MatrixData<int32_t>(f)[i]; }
int Sum(const OCRMatrix* f, int from, int to) {
  int s = 0;
  for (int i = from; i < to; ++i) s += Int(f, i);
  return s;
}
}  // namespace

TEST(GradientFeatures, BlankImageAndShape) {
  OCRMatrixPtr blank = Blank(64, 64);
  OCRMatrixPtr f(CGradientFeatureExtractorImp().Extract(blank.get(), 0));
  ASSERT_TRUE(f);
  EXPECT_EQ(OCR_FLOAT, f->type);
  EXPECT_EQ(1, f->rows);
  EXPECT_EQ(512, f->cols);
  for (int i = 0; i < 512; ++i) EXPECT_EQ(0.0f, MatrixData<float>(f.get())[i]);
}

TEST(GradientFeatures, DirectionsAndZoneWeights) {
  CGradientFeatureExtractorImp gra;
  std::vector<float> h(512, 0.0f);
  const double sector = std::numbers::pi / 4;
  // theta = pi (ink on the left of an edge): all in direction 4.
  gra.DistributeGradient(0.0625, 0.0625, std::numbers::pi / sector, 1.0, std::numbers::pi, h.data());
  EXPECT_NEAR(1.0f, h[4], 1e-6);
  EXPECT_NEAR(0.0f, h[5], 1e-6);
  // 45 degrees below the rightward direction: all in direction 1.
  std::fill(h.begin(), h.end(), 0.0f);
  gra.DistributeGradient(0.0625, 0.0625, 1.0, 2.0, sector, h.data());
  EXPECT_NEAR(2.0f, h[1], 1e-6);
  EXPECT_NEAR(0.0f, h[2], 1e-6);
  // Half way between directions 0 and 1: shared equally by sin(l/2) / sin(l) each.
  std::fill(h.begin(), h.end(), 0.0f);
  gra.DistributeGradient(0.0625, 0.0625, 0.5, 1.0, sector / 2, h.data());
  EXPECT_NEAR(std::sin(sector / 2) / std::sin(sector), h[0], 1e-6);
  EXPECT_NEAR(h[0], h[1], 1e-6);
  // Row 12 of 64 (a = 1.5625): 0.9375 to zone row 1, 0.0625 to zone row 2.
  std::fill(h.begin(), h.end(), 0.0f);
  gra.DistributeGradient(1.5625, 0.0625, 0.0, 1.0, 0.0, h.data());
  EXPECT_NEAR(0.9375f, h[(1 * 8 + 0) * 8], 1e-6);
  EXPECT_NEAR(0.0625f, h[(2 * 8 + 0) * 8], 1e-6);
  EXPECT_NEAR(1.0f, std::accumulate(h.begin(), h.end(), 0.0f), 1e-6);
}

TEST(GradientFeatures, VerticalEdgeMirrorAndIntensity) {
  OCRMatrixPtr half = Blank(64, 64);
  Fill(half.get(), 0, 0, 31, 63, 100);
  OCRMatrixPtr f(CGradientFeatureExtractorImp().Extract(half.get(), 0));
  // Away from the top and bottom borders the edge is exactly vertical.
  for (int i = 1; i <= 6; ++i) {
    for (int j = 0; j < 8; ++j) {
      EXPECT_EQ(0.0f, Gra(f.get(), i, j, 3));
      EXPECT_EQ(0.0f, Gra(f.get(), i, j, 5));
    }
    EXPECT_GT(Gra(f.get(), i, 3, 4), 0.0f);
    EXPECT_GT(Gra(f.get(), i, 4, 4), 0.0f);
    EXPECT_GT(Gra(f.get(), i, 0, 0), 0.0f);  // the image border on the left
  }

  // A glyph mirrored left to right mirrors the zones and the directions (k -> 4 - k).
  OCRMatrixPtr glyph = Blank(64, 64), mirror = Blank(64, 64);
  Fill(glyph.get(), 10, 10, 40, 14, 255);
  Fill(glyph.get(), 10, 10, 14, 50, 180);
  Fill(glyph.get(), 20, 30, 50, 33, 90);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) MatrixData<uint8_t>(mirror.get())[y * 64 + 63 - x] = At(glyph.get(), x, y);
  OCRMatrixPtr a(CGradientFeatureExtractorImp().Extract(glyph.get(), 0));
  OCRMatrixPtr b(CGradientFeatureExtractorImp().Extract(mirror.get(), 0));
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j)
      for (int k = 0; k < 8; ++k) EXPECT_NEAR(Gra(a.get(), i, j, k), Gra(b.get(), i, 7 - j, (12 - k) % 8), 1e-2);

  // Doubling every value changes nothing but rounding.
  OCRMatrixPtr bright = Blank(64, 64);
  for (int i = 0; i < 64 * 64; ++i) MatrixData<uint8_t>(bright.get())[i] = MatrixData<uint8_t>(glyph.get())[i] / 2 * 2;
  OCRMatrixPtr dim = Blank(64, 64);
  for (int i = 0; i < 64 * 64; ++i) MatrixData<uint8_t>(dim.get())[i] = MatrixData<uint8_t>(glyph.get())[i] / 2;
  OCRMatrixPtr fb(CGradientFeatureExtractorImp().Extract(bright.get(), 0));
  OCRMatrixPtr fd(CGradientFeatureExtractorImp().Extract(dim.get(), 0));
  for (int i = 0; i < 512; ++i)
    EXPECT_NEAR(MatrixData<float>(fb.get())[i], MatrixData<float>(fd.get())[i], 1e-3 * (1 + MatrixData<float>(fb.get())[i]));
}

TEST(NoneFeatures, TheImageItself) {
  OCRMatrixPtr image = Blank(64, 64);
  Fill(image.get(), 3, 4, 5, 6, 77);
  OCRMatrixPtr f(CFeatureExtractor().Extract(image.get(), 0));
  ASSERT_TRUE(f);
  EXPECT_NE(image->data, f->data);
  EXPECT_EQ(OCR_U8, f->type);
  EXPECT_EQ(0, std::memcmp(image->data, f->data, 64 * 64));
}

TEST(CrossLineFeatures, LongRunsPerDirection) {
  CCrossLineFeatureExtractor cross;
  auto extract = [&](int x0, int x1) {
    OCRMatrixPtr image = Blank(64, 64);
    Fill(image.get(), x0, 32, x1, 32, 255);
    return OCRMatrixPtr(cross.Extract(image.get(), 0));
  };
  OCRMatrixPtr f = extract(20, 29);  // 10 pixels
  ASSERT_TRUE(f);
  EXPECT_EQ(OCR_INT32, f->type);
  EXPECT_EQ(64, f->rows);
  EXPECT_EQ(4, f->cols);
  EXPECT_EQ(10, Sum(f.get(), 0, 64));
  EXPECT_EQ(0, Sum(f.get(), 64, 256));
  EXPECT_EQ(4, Int(f.get(), 4 * 8 + 2));  // columns 20..23 in zone column 2
  EXPECT_EQ(6, Int(f.get(), 4 * 8 + 3));  // columns 24..29 in zone column 3
  EXPECT_EQ(0, Sum(extract(20, 21).get(), 0, 256));       // too short
  EXPECT_EQ(13, Sum(extract(50, 63).get(), 0, 64));       // the border pixel does not count
  EXPECT_EQ(0, Sum(extract(60, 63).get(), 0, 256));       // starts too late
  EXPECT_EQ(nullptr, cross.Extract(nullptr, 0));

  // A falling diagonal of 10 pixels: only the falling block.
  OCRMatrixPtr image = Blank(64, 64);
  for (int i = 0; i < 10; ++i) Fill(image.get(), 10 + i, 20 + i, 10 + i, 20 + i, 1);
  f.reset(cross.Extract(image.get(), 0));
  EXPECT_EQ(0, Sum(f.get(), 0, 192));
  EXPECT_EQ(10, Sum(f.get(), 192, 256));
}

TEST(StrokePosFeatures, StrokePositionsFromEachEnd) {
  OCRMatrixPtr image = Blank(64, 64);
  Fill(image.get(), 10, 5, 13, 5, 200);  // row 5: one stroke at 10..13
  OCRMatrixPtr f(CStrokePosFeatureExtractorImp().Extract(image.get(), 0));
  ASSERT_TRUE(f);
  EXPECT_EQ(512, f->cols);
  const float* v = MatrixData<float>(f.get());
  for (int k = 0; k < 4; ++k) EXPECT_EQ(63.0f, v[k]);  // row 0 is empty
  EXPECT_FLOAT_EQ(11.5f, v[5 * 4 + 0]);
  EXPECT_EQ(63.0f, v[5 * 4 + 1]);
  EXPECT_FLOAT_EQ(51.5f, v[5 * 4 + 2]);  // 63 - 11.5 from the right
  EXPECT_EQ(63.0f, v[5 * 4 + 3]);
  // Column 10 read from the top has its stroke at row 5, from the bottom at 58.
  EXPECT_FLOAT_EQ(5.0f, v[256 + 10 * 4 + 0]);
  EXPECT_FLOAT_EQ(58.0f, v[256 + 10 * 4 + 2]);

  const uint8_t line[8] = {0, 100, 100, 0, 0, 50, 150, 0};
  EXPECT_FLOAT_EQ(1.5f, CStrokePosFeatureExtractorImp::StrokePosition(line, 8, 1, 0));
  EXPECT_FLOAT_EQ(5.75f, CStrokePosFeatureExtractorImp::StrokePosition(line, 8, 1, 1));
}

TEST(PeripheralFeatures, DepthsPerBand) {
  OCRMatrixPtr blank = Blank(64, 64);
  OCRMatrixPtr f(CPeripheralFeatureExtractorImp().Extract(blank.get(), 0));
  ASSERT_TRUE(f);
  EXPECT_EQ(2, f->rows);
  EXPECT_EQ(32, f->cols);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(512, Int(f.get(), i));
  for (int i = 32; i < 64; ++i) EXPECT_EQ(0, Int(f.get(), i));

  // A full-height bar in column 10.
  OCRMatrixPtr bar = Blank(64, 64);
  Fill(bar.get(), 10, 0, 10, 63, 255);
  f.reset(CPeripheralFeatureExtractorImp().Extract(bar.get(), 0));
  for (int band = 0; band < 8; ++band) {
    EXPECT_EQ(80, Int(f.get(), band));             // from the left
    EXPECT_EQ(424, Int(f.get(), 16 + band));       // from the right
    EXPECT_EQ(424, Int(f.get(), 32 + band));       // order 2 from the left: behind the bar
    EXPECT_EQ(80, Int(f.get(), 32 + 16 + band));   // order 2 from the right
  }
  EXPECT_EQ(7 * 64, Int(f.get(), 8 + 1));   // from the bottom, band of columns 8..15
  EXPECT_EQ(7 * 64, Int(f.get(), 24 + 1));  // from the top
  EXPECT_EQ(512, Int(f.get(), 8 + 0));
}

TEST(CCFFeatures, PlusSignSplitsIntoHorizontalAndVerticalMaps) {
  OCRMatrixPtr plus = Blank(64, 64);
  Fill(plus.get(), 8, 30, 55, 32, 255);
  Fill(plus.get(), 30, 8, 32, 55, 255);
  CCICLPFFeatureExtractorImp ccf;
  OCRMatrixPtr skeleton(ccf.Skeleton(plus.get()));
  ASSERT_TRUE(skeleton);
  EXPECT_GT(CountInk(skeleton.get()), 60);
  EXPECT_LT(CountInk(skeleton.get()), 100);
  OCRMatrixPtr f(ccf.Extract(plus.get(), 0));
  ASSERT_TRUE(f);
  EXPECT_EQ(4, f->rows);
  EXPECT_EQ(64, f->cols);
  // Zone (row 3, col 1) holds the left arm, zone (row 1, col 3) the upper arm.
  EXPECT_GT(Int(f.get(), 0 * 64 + 3 * 8 + 1), 0);
  EXPECT_EQ(0, Int(f.get(), 1 * 64 + 3 * 8 + 1));
  EXPECT_GT(Int(f.get(), 1 * 64 + 1 * 8 + 3), 0);
  EXPECT_EQ(0, Int(f.get(), 0 * 64 + 1 * 8 + 3));
  // Both arms are long: each map holds most of its arm's skeleton.
  EXPECT_GT(Sum(f.get(), 0, 64), 40);
  EXPECT_GT(Sum(f.get(), 64, 128), 40);

  // A dot is too short for any direction.
  OCRMatrixPtr dot = Blank(64, 64);
  Fill(dot.get(), 20, 20, 20, 20, 255);
  f.reset(ccf.Extract(dot.get(), 0));
  EXPECT_EQ(0, Sum(f.get(), 0, 256));
}

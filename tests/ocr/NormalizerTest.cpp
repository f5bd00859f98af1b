// Size normalisers and the binary-image toolkit.
#include <gtest/gtest.h>

#include "ocr/ImageNormalizer.h"
#include "ocr/ImageProcessor.h"
#include "tests/ocr/GlyphImages.h"

using namespace ocrtest;

namespace {
// First and last row (or column) holding a value of at least `level`.
std::pair<int, int> InkSpan(const OCRMatrix* m, bool rows, int level = 1) {
  int first = -1, last = -1;
  for (int i = 0; i < 64; ++i)
    for (int j = 0; j < 64; ++j)
      if ((rows ? At(m, j, i) : At(m, i, j)) >= level) {
        if (first < 0) first = i;
        last = i;
      }
  return {first, last};
}
}  // namespace

TEST(LinearNormalizer, WideBlockIsCentredInASquareBox) {
  OCRMatrixPtr glyph = Blank(10, 40);
  Fill(glyph.get(), 0, 0, 39, 9, 200);
  OCRMatrixPtr out(CLinearNormalizerImp().Normalize(glyph.get()));
  ASSERT_TRUE(out);
  EXPECT_EQ(64, out->rows);
  EXPECT_EQ(64, out->cols);
  // The block fills the middle quarter of the rows (24..39), give or take the interpolated edge.
  const auto span = InkSpan(out.get(), true);
  EXPECT_GE(span.first, 23);
  EXPECT_LE(span.first, 24);
  EXPECT_GE(span.second, 39);
  EXPECT_LE(span.second, 40);
  EXPECT_EQ(0, InkSpan(out.get(), false).first);
  EXPECT_EQ(63, InkSpan(out.get(), false).second);
  // Values of at least 5 average 128 (before truncation).
  double sum = 0;
  int count = 0;
  for (int i = 0; i < 64 * 64; ++i)
    if (MatrixData<uint8_t>(out.get())[i] >= 5) {
      sum += MatrixData<uint8_t>(out.get())[i];
      ++count;
    }
  EXPECT_NEAR(128.0, sum / count, 1.0);
}

TEST(LinearNormalizer, FaintInkAndClamping) {
  OCRMatrixPtr faint = Blank(8, 8);
  Fill(faint.get(), 2, 2, 5, 5, 3);  // below 5 everywhere: left unscaled
  OCRMatrixPtr out(CLinearNormalizerImp().Normalize(faint.get()));
  int maximum = 0;
  for (int i = 0; i < 64 * 64; ++i) maximum = std::max<int>(maximum, MatrixData<uint8_t>(out.get())[i]);
  EXPECT_EQ(3, maximum);

  // One bright pixel among dim ink: clamped at 255.
  OCRMatrixPtr mixed = Blank(20, 20);
  Fill(mixed.get(), 0, 0, 19, 19, 10);
  Fill(mixed.get(), 8, 8, 11, 11, 250);
  out.reset(CLinearNormalizerImp().Normalize(mixed.get()));
  EXPECT_EQ(255, At(out.get(), 32, 32));
  EXPECT_EQ(nullptr, CLinearNormalizerImp().Normalize(nullptr));
}

TEST(MomentNormalizers, SinglePixelBoxIsBackground) {
  OCRMatrixPtr glyph = Blank(20, 20);
  Fill(glyph.get(), 7, 9, 7, 9, 255);
  CBiMomentNormalizerImp::Moments m;
  ASSERT_TRUE(CBiMomentNormalizerImp::ComputeBiMoments(glyph.get(), &m));
  EXPECT_FLOAT_EQ(7.5f, m.xc);
  EXPECT_FLOAT_EQ(9.5f, m.yc);
  EXPECT_EQ(0.0f, m.left + m.right + m.up + m.down);
  OCRMatrixPtr bi(CBiMomentNormalizerImp().Normalize(glyph.get()));
  OCRMatrixPtr b2(CB2MomentNormalizerImp().Normalize(glyph.get()));
  EXPECT_EQ(0, CountInk(bi.get()));
  EXPECT_EQ(0, CountInk(b2.get()));
}

TEST(MomentNormalizers, B2KeepsTheAspectThatBISquares) {
  // A uniform block 30 wide and 50 high: moment box about 35 x 59.
  OCRMatrixPtr glyph = Blank(60, 40);
  Fill(glyph.get(), 5, 5, 34, 54, 255);
  OCRMatrixPtr bi(CBiMomentNormalizerImp().Normalize(glyph.get()));
  OCRMatrixPtr b2(CB2MomentNormalizerImp().Normalize(glyph.get()));
  const auto biCols = InkSpan(bi.get(), false, 128), b2Cols = InkSpan(b2.get(), false, 128);
  const auto biRows = InkSpan(bi.get(), true, 128), b2Rows = InkSpan(b2.get(), true, 128);
  EXPECT_NEAR(30.0 / 59 * 64, biCols.second - biCols.first + 1, 3);
  EXPECT_NEAR(30.0 / 35 * 64, b2Cols.second - b2Cols.first + 1, 3);
  EXPECT_NEAR(50.0 / 59 * 64, biRows.second - biRows.first + 1, 3);
  EXPECT_NEAR(50.0 / 59 * 64, b2Rows.second - b2Rows.first + 1, 3);
  // Inside the block the area mapping preserves the value.
  EXPECT_EQ(255, At(b2.get(), 32, 32));
}

TEST(ImageProcessor, RunsNeighboursAndCrossings) {
  CImageProcessor p;
  OCRMatrixPtr plus = Blank(9, 9);
  Fill(plus.get(), 1, 4, 7, 4, 1);
  Fill(plus.get(), 4, 1, 4, 7, 1);
  EXPECT_EQ(3, p.RunLength(plus.get(), 4, 4, 1));
  EXPECT_EQ(3, p.RunLength(plus.get(), 4, 4, 7));
  EXPECT_EQ(0, p.RunLength(plus.get(), 4, 4, 2));
  EXPECT_EQ(-1, p.RunLength(plus.get(), 4, 4, 9));
  EXPECT_EQ(-1, p.RunLength(plus.get(), 4, 4, 0));
  EXPECT_EQ(6, p.LongestLine(plus.get(), 4, 4));
  EXPECT_EQ(4, p.CountNeighbours(plus.get(), 4, 4));
  EXPECT_EQ(4, p.CrossingNumber(plus.get(), 4, 4));
  EXPECT_EQ(2, p.CrossingNumber(plus.get(), 2, 4));  // inside a line
  EXPECT_EQ(1, p.CrossingNumber(plus.get(), 1, 4));  // its end

  OCRMatrixPtr full = Blank(3, 3);
  Fill(full.get(), 0, 0, 2, 2, 1);
  EXPECT_EQ(3, p.CountNeighbours(full.get(), 0, 0));
  EXPECT_EQ(8, p.CountNeighbours(full.get(), 1, 1));
  EXPECT_FALSE(p.IsStaircasePixel(full.get(), 0, 1));  // border
}

TEST(ImageProcessor, ThinningABarLeavesItsShortenedCentreLine) {
  OCRMatrixPtr bar = Blank(7, 12);
  Fill(bar.get(), 2, 2, 9, 4, 255);
  OCRMatrixPtr thin(CImageProcessor().Thin(bar.get()));
  ASSERT_TRUE(thin);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(y == 3 && x >= 3 && x <= 8, At(thin.get(), x, y) != 0) << x << "," << y;
  EXPECT_EQ(24, CountInk(bar.get()));  // the input is unchanged

  OCRMatrixPtr twoRows = Blank(2, 5);
  Fill(twoRows.get(), 0, 0, 4, 1, 1);
  thin.reset(CImageProcessor().Thin(twoRows.get()));
  EXPECT_EQ(10, CountInk(thin.get()));
}

TEST(ImageProcessor, StaircaseTipOnALineIsRemoved) {
  OCRMatrixPtr image = Blank(9, 9);
  Fill(image.get(), 2, 5, 6, 5, 1);
  Fill(image.get(), 4, 4, 4, 4, 1);  // a tip pointing up on the line
  CImageProcessor p;
  EXPECT_TRUE(p.IsStaircasePixel(image.get(), 4, 4));
  EXPECT_FALSE(p.IsStaircasePixel(image.get(), 2, 5));
  OCRMatrixPtr smooth(p.SmoothStaircases(image.get()));
  EXPECT_EQ(0, At(smooth.get(), 4, 4));
  EXPECT_EQ(5, CountInk(smooth.get()));
  EXPECT_EQ(1, At(image.get(), 4, 4));
}

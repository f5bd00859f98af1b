// Matrix records, factories and distances.
#include <gtest/gtest.h>

#include <typeinfo>

#include "ocr/CICLPFFeatureExtractor.h"
#include "ocr/ComponentFactory.h"
#include "ocr/CrossLineFeatureExtractor.h"
#include "ocr/GaborFeatureExtractors.h"
#include "ocr/GradientFeatureExtractor.h"
#include "ocr/HVHistogramsFeatureExtractor.h"
#include "ocr/PeripheralFeatureExtractor.h"
#include "ocr/StrokePosFeatureExtractor.h"

namespace {
OCRMatrixPtr Doubles(int rows, int cols, std::initializer_list<double> values) {
  OCRMatrixPtr m(CreateMatrix(OCR_DOUBLE, rows, cols));
  int i = 0;
  for (double v : values) MatrixData<double>(m.get())[i++] = v;
  return m;
}
}  // namespace

TEST(OCRMatrix, ShapesProductsAndConversions) {
  OCRMatrix* row = CreateMatrix(OCR_DOUBLE, 1, 512);
  ASSERT_TRUE(row);
  EXPECT_TRUE(ReshapeMatrix(&row, 512));
  EXPECT_EQ(512, row->rows);
  EXPECT_EQ(1, row->cols);
  EXPECT_FALSE(ReshapeMatrix(&row, 7));
  EXPECT_EQ(512, row->rows);
  EXPECT_EQ(1, row->cols);
  ReleaseMatrix(&row);
  EXPECT_EQ(nullptr, row);
  ReleaseMatrix(&row);  // nothing happens

  OCRMatrixPtr a(CreateMatrix(OCR_DOUBLE, 20, 512)), column(CreateMatrix(OCR_DOUBLE, 512, 1)),
      line(CreateMatrix(OCR_DOUBLE, 1, 512));
  OCRMatrixPtr product(MultiplyMatrix(a.get(), column.get()));
  ASSERT_TRUE(product);
  EXPECT_EQ(20, product->rows);
  EXPECT_EQ(1, product->cols);
  EXPECT_FALSE(MultiplyMatrix(a.get(), line.get()));

  OCRMatrixPtr m = Doubles(2, 2, {1, 2, 3, 4}), v = Doubles(2, 1, {5, 6});
  product.reset(MultiplyMatrix(m.get(), v.get()));
  EXPECT_EQ(17.0, MatrixData<double>(product.get())[0]);
  EXPECT_EQ(39.0, MatrixData<double>(product.get())[1]);
  // An odd row count and a length not a multiple of four leave rows and
  // values after the blocks of the product; integers sum exactly.
  OCRMatrixPtr odd = Doubles(3, 7, {1, 2, 3, 4, 5, 6, 7, -1, 0, 1, 0, -1, 0, 1, 2, 2, 2, 2, 2, 2, 9});
  OCRMatrixPtr seven = Doubles(7, 1, {1, 1, 1, 1, 1, 1, 10});
  product.reset(MultiplyMatrix(odd.get(), seven.get()));
  ASSERT_TRUE(product);
  EXPECT_EQ(91.0, MatrixData<double>(product.get())[0]);
  EXPECT_EQ(9.0, MatrixData<double>(product.get())[1]);
  EXPECT_EQ(102.0, MatrixData<double>(product.get())[2]);
  OCRMatrixPtr floats(CreateMatrix(OCR_FLOAT, 2, 1));
  EXPECT_FALSE(MultiplyMatrix(m.get(), floats.get()));

  OCRMatrix* bytes = CreateMatrix(OCR_U8, 1, 2);
  MatrixData<uint8_t>(bytes)[0] = 255;
  MatrixData<uint8_t>(bytes)[1] = 7;
  ConvertMatrixToDouble(&bytes);
  EXPECT_EQ(OCR_DOUBLE, bytes->type);
  EXPECT_EQ(255.0, MatrixData<double>(bytes)[0]);
  EXPECT_EQ(7.0, MatrixData<double>(bytes)[1]);
  ReleaseMatrix(&bytes);
  OCRMatrix* ints = CreateMatrix(OCR_INT32B, 1, 1);
  MatrixData<int32_t>(ints)[0] = -3;
  ConvertMatrixToDouble(&ints);
  EXPECT_EQ(-3.0, MatrixData<double>(ints)[0]);
  ReleaseMatrix(&ints);

  OCRMatrixPtr zero(CreateMatrix(OCR_DOUBLE, 1, 3));
  EXPECT_TRUE(NormalizeMatrixL2(zero.get()));
  EXPECT_EQ(0.0, MatrixData<double>(zero.get())[0]);
  OCRMatrixPtr vec = Doubles(1, 2, {3, 4});
  EXPECT_TRUE(NormalizeMatrixL2(vec.get()));
  EXPECT_DOUBLE_EQ(0.6, MatrixData<double>(vec.get())[0]);
  OCRMatrixPtr f(CreateMatrix(OCR_FLOAT, 1, 2));
  EXPECT_FALSE(NormalizeMatrixL2(f.get()));

  EXPECT_FALSE(CreateMatrix(OCR_U8, -1, 3));
  OCRMatrixPtr unknown(CreateMatrix(9, 1, 1));
  ASSERT_TRUE(unknown);
  EXPECT_EQ(nullptr, unknown->data);
  EXPECT_FALSE(CloneMatrix(nullptr));
  OCRMatrixPtr copy(CloneMatrix(m.get()));
  EXPECT_EQ(4.0, MatrixData<double>(copy.get())[3]);
  EXPECT_NE(m->data, copy->data);
}

TEST(OCRMatrix, CropCopiesABlockIntoAZeroedRecord) {
  OCRMatrixPtr src(CreateMatrix(OCR_U8, 3, 3)), dst(CreateMatrix(OCR_U8, 4, 4));
  for (int i = 0; i < 9; ++i) MatrixData<uint8_t>(src.get())[i] = static_cast<uint8_t>(i + 1);
  std::fill_n(MatrixData<uint8_t>(dst.get()), 16, 99);
  ASSERT_TRUE(CropMatrix(src.get(), 1, 1, 2, 2, dst.get(), 2, 2));
  const uint8_t expected[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 6, 0, 0, 8, 9};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(expected[i], MatrixData<uint8_t>(dst.get())[i]) << i;
  EXPECT_FALSE(CropMatrix(src.get(), 0, 0, 3, 3, dst.get(), 2, 0));  // does not fit dst
  EXPECT_FALSE(CropMatrix(src.get(), 2, 0, 2, 2, dst.get(), 0, 0));  // outside src
  OCRMatrixPtr d(CreateMatrix(OCR_DOUBLE, 4, 4));
  EXPECT_FALSE(CropMatrix(src.get(), 0, 0, 1, 1, d.get(), 0, 0));
}

TEST(Factories, NamesIgnoreCaseAndFollowTheirPrefixRules) {
  auto is = [](const auto& object, const std::type_info& type) { return object && typeid(*object) == type; };
  EXPECT_TRUE(is(CreateFeatureExtractor("gra"), typeid(CGradientFeatureExtractorImp)));
  EXPECT_TRUE(is(CreateFeatureExtractor("GRADIENT"), typeid(CGradientFeatureExtractorImp)));
  EXPECT_TRUE(is(CreateFeatureExtractor("StrokePosXYZ"), typeid(CStrokePosFeatureExtractorImp)));
  EXPECT_FALSE(CreateFeatureExtractor("StrokePo"));
  EXPECT_TRUE(is(CreateFeatureExtractor("crossline"), typeid(CCrossLineFeatureExtractor)));
  EXPECT_FALSE(CreateFeatureExtractor("CrossLineX"));
  EXPECT_TRUE(is(CreateFeatureExtractor("none"), typeid(CFeatureExtractor)));
  EXPECT_FALSE(CreateFeatureExtractor("Nonex"));
  EXPECT_TRUE(is(CreateFeatureExtractor("ppf"), typeid(CPeripheralFeatureExtractorImp)));
  EXPECT_TRUE(is(CreateFeatureExtractor("CCF1"), typeid(CCICLPFFeatureExtractorImp)));
  EXPECT_TRUE(is(CreateFeatureExtractor("hvh"), typeid(CHVHistogramsFeatureExtractorImp)));
  EXPECT_TRUE(is(CreateFeatureExtractor("GAB:4:2:8"), typeid(CGaborMagFeatureExtractorImp)));
  EXPECT_TRUE(is(CreateFeatureExtractor("gbf"), typeid(CGaborBFeatureExtractorImp)));
  EXPECT_FALSE(CreateFeatureExtractor("GR"));
  EXPECT_FALSE(CreateFeatureExtractor(""));

  EXPECT_TRUE(is(CreateImageNormalizer("ln"), typeid(CLinearNormalizerImp)));
  EXPECT_TRUE(is(CreateImageNormalizer("BIx"), typeid(CBiMomentNormalizerImp)));
  EXPECT_TRUE(is(CreateImageNormalizer("b2"), typeid(CB2MomentNormalizerImp)));
  EXPECT_FALSE(CreateImageNormalizer("L"));

  EXPECT_TRUE(is(CreateDistanceMeasurer("cos"), typeid(CCosineDistanceMeasurerImp)));
  EXPECT_TRUE(is(CreateDistanceMeasurer("l2"), typeid(CL2DistanceMeasurerImp)));
  EXPECT_TRUE(is(CreateDistanceMeasurer("CITY"), typeid(CCityDistanceMeasurerImp)));
  EXPECT_FALSE(CreateDistanceMeasurer("Cosine"));
  EXPECT_TRUE(CreateFileOperator("CMM"));
  EXPECT_FALSE(CreateFileOperator("Cmm2"));
}

TEST(Distances, ShapesAndElementTypes) {
  OCRMatrixPtr column(CreateMatrix(OCR_DOUBLE, 512, 1)), row(CreateMatrix(OCR_DOUBLE, 1, 512));
  for (const char* name : {"Cos", "L2", "City"}) {
    auto measurer = CreateDistanceMeasurer(name);
    double out = 42.0;
    EXPECT_EQ(1, measurer->Distance(column.get(), row.get(), &out)) << name;
    EXPECT_EQ(42.0, out) << name;
  }
  // Model vectors of every element type against double features.
  OCRMatrixPtr features = Doubles(1, 3, {0.5, -2.0, 3.0});
  OCRMatrixPtr bytes(CreateMatrix(OCR_U8, 1, 3)), ints(CreateMatrix(OCR_INT32, 1, 3)), floats(CreateMatrix(OCR_FLOAT, 1, 3));
  const double model[3] = {200, 1, 0};
  for (int i = 0; i < 3; ++i) {
    MatrixData<uint8_t>(bytes.get())[i] = static_cast<uint8_t>(model[i]);
    MatrixData<int32_t>(ints.get())[i] = static_cast<int32_t>(model[i]);
    MatrixData<float>(floats.get())[i] = static_cast<float>(model[i]);
  }
  OCRMatrixPtr doubles = Doubles(1, 3, {200, 1, 0});
  for (const OCRMatrix* a : {bytes.get(), ints.get(), floats.get(), doubles.get()}) {
    double l2 = 0, city = 0, cosine = 0;
    EXPECT_EQ(0, CL2DistanceMeasurerImp().Distance(a, features.get(), &l2));
    EXPECT_EQ(0, CCityDistanceMeasurerImp().Distance(a, features.get(), &city));
    EXPECT_EQ(0, CCosineDistanceMeasurerImp().Distance(a, features.get(), &cosine));
    EXPECT_DOUBLE_EQ(199.5 * 199.5 + 9.0 + 9.0, l2) << a->type;
    EXPECT_DOUBLE_EQ(199.5 + 3.0 + 3.0, city) << a->type;
    EXPECT_DOUBLE_EQ(1.0 - (100.0 - 2.0), cosine) << a->type;
  }
}

// The FFT, the DFT convolution and the Gabor and projection-spectrum extractors.
#include <gtest/gtest.h>

#include <complex>
#include <numbers>
#include <random>

#include "ocr/ComponentFactory.h"
#include "ocr/FFT.h"
#include "ocr/GaborFeatureExtractors.h"
#include "ocr/HVHistogramsFeatureExtractor.h"
#include "tests/ocr/GlyphImages.h"

using namespace ocrtest;

TEST(FFT, MatchesADirectDFT) {
  std::vector<CComplex<float>> data(48, CComplex<float>(1, 2));
  EXPECT_FALSE(FFT(data.data(), 48));
  EXPECT_EQ(1.0f, data[5].Re());
  EXPECT_EQ(2.0f, data[5].Im());
  CComplex<float> one(3, -4);
  EXPECT_TRUE(FFT(&one, 1));
  EXPECT_EQ(3.0f, one.Re());
  EXPECT_EQ(5.0f, one.Magnitude());

  std::vector<CComplex<float>> constant(16, CComplex<float>(2.5f, 0));
  ASSERT_TRUE(FFT(constant.data(), 16));
  EXPECT_FLOAT_EQ(40.0f, constant[0].Re());
  for (int k = 1; k < 16; ++k) EXPECT_NEAR(0.0f, constant[k].Magnitude(), 1e-5) << k;

  std::mt19937 random(3);
  std::uniform_real_distribution<float> value(-1, 1);
  for (int n : {2, 8, 64, 128}) {
    std::vector<CComplex<float>> x(n);
    for (auto& c : x) c = CComplex<float>(value(random), value(random));
    std::vector<CComplex<float>> y = x;
    ASSERT_TRUE(FFT(y.data(), n));
    for (int k = 0; k < n; ++k) {
      std::complex<double> sum = 0;
      for (int j = 0; j < n; ++j)
        sum += std::complex<double>(x[j].Re(), x[j].Im()) * std::polar(1.0, -2 * std::numbers::pi * j * k / n);
      EXPECT_NEAR(sum.real(), y[k].Re(), 1e-4 * n) << n << ":" << k;
      EXPECT_NEAR(sum.imag(), y[k].Im(), 1e-4 * n) << n << ":" << k;
    }
  }
}

TEST(GaborFeatures, ConvolutionMatchesTheDirectSum) {
  std::mt19937 random(5);
  std::uniform_real_distribution<float> value(0, 1);
  cv::Mat image(12, 10, CV_32F), kernel(5, 7, CV_32F);
  for (int i = 0; i < image.rows * image.cols; ++i) image.at<float>(i) = value(random);
  for (int i = 0; i < kernel.rows * kernel.cols; ++i) kernel.at<float>(i) = value(random) - 0.5f;
  const cv::Mat result = CGaborFeatureExtractorBase::Convolve(image, kernel);
  ASSERT_EQ(image.size(), result.size());
  for (int y = 0; y < image.rows; ++y)
    for (int x = 0; x < image.cols; ++x) {
      double sum = 0;
      for (int a = 0; a < kernel.rows; ++a)
        for (int b = 0; b < kernel.cols; ++b) {
          const int sy = y + kernel.rows / 2 - a, sx = x + kernel.cols / 2 - b;
          if (sy >= 0 && sy < image.rows && sx >= 0 && sx < image.cols) sum += image.at<float>(sy, sx) * kernel.at<float>(a, b);
        }
      EXPECT_NEAR(sum, result.at<float>(y, x), 1e-4) << y << "," << x;
    }
}

TEST(GaborFeatures, KernelsAndNames) {
  for (int lambda : {4, 6, 8}) {
    cv::Mat re, im;
    CGaborFeatureExtractorBase::MakeKernel(std::numbers::pi / 4, lambda, &re, &im);
    EXPECT_EQ(2 * lambda + 1, re.rows);
    const int n = re.rows, h = n / 2;
    EXPECT_FLOAT_EQ(1.0f, re.at<float>(h, h));
    for (int r = 0; r < n; ++r)
      for (int c = 0; c < n; ++c) {
        EXPECT_NEAR(re.at<float>(r, c), re.at<float>(n - 1 - r, n - 1 - c), 1e-6);
        EXPECT_NEAR(im.at<float>(r, c), -im.at<float>(n - 1 - r, n - 1 - c), 1e-6);
      }
  }
  std::vector<int> w;
  EXPECT_TRUE(CGaborFeatureExtractorBase::ParseWavelengths("GAB", 32, &w));
  EXPECT_EQ((std::vector<int>{4, 6, 8}), w);
  EXPECT_TRUE(CGaborFeatureExtractorBase::ParseWavelengths("GAB:4:4:8", 32, &w));
  EXPECT_EQ((std::vector<int>{4, 8}), w);
  EXPECT_TRUE(CGaborFeatureExtractorBase::ParseWavelengths("GABOR", 32, &w));  // no separators: defaults
  EXPECT_EQ((std::vector<int>{4, 6, 8}), w);
  EXPECT_FALSE(CGaborFeatureExtractorBase::ParseWavelengths("GAB:4:0:8", 32, &w));
  EXPECT_FALSE(CGaborFeatureExtractorBase::ParseWavelengths("GAB:4:-2:8", 32, &w));
  EXPECT_FALSE(CGaborFeatureExtractorBase::ParseWavelengths("GAB:0:1:4", 32, &w));
  EXPECT_FALSE(CGaborFeatureExtractorBase::ParseWavelengths("GAB:4:1:99999999999", 32, &w));
  EXPECT_FALSE(CreateFeatureExtractor("GBF:2:1:5"));  // four wavelengths do not fit
  EXPECT_TRUE(CreateFeatureExtractor("GBF:2:1:4"));
  EXPECT_FALSE(CreateFeatureExtractor("GAB:4:0:8"));
}

TEST(GaborFeatures, OutputsOfGlyphsAndBlanks) {
  OCRMatrixPtr glyph = Blank(64, 64);
  Fill(glyph.get(), 10, 30, 53, 33, 255);
  Fill(glyph.get(), 30, 10, 33, 53, 255);
  auto gab = CreateFeatureExtractor("GAB"), spelled = CreateFeatureExtractor("gab:4:2:8"), two = CreateFeatureExtractor("GAB:4:4:8");
  OCRMatrixPtr a(gab->Extract(glyph.get(), 0)), b(spelled->Extract(glyph.get(), 0)), c(two->Extract(glyph.get(), 0));
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(768, a->cols);
  EXPECT_EQ(512, c->cols);
  for (int i = 0; i < 768; ++i) EXPECT_EQ(MatrixData<float>(a.get())[i], MatrixData<float>(b.get())[i]);
  // Wavelengths 4 and 8 of the two-wavelength name are blocks 0 and 2 of each orientation.
  for (int o = 0; o < 4; ++o)
    for (int i = 0; i < 64; ++i) {
      EXPECT_NEAR(MatrixData<float>(a.get())[o * 192 + i], MatrixData<float>(c.get())[o * 128 + i], 1e-3);
      EXPECT_NEAR(MatrixData<float>(a.get())[o * 192 + 128 + i], MatrixData<float>(c.get())[o * 128 + 64 + i], 1e-3);
    }
  float total = 0;
  for (int i = 0; i < 768; ++i) total += MatrixData<float>(a.get())[i];
  EXPECT_GT(total, 0.0f);

  auto gbf = CreateFeatureExtractor("GBF:4:4:8");
  OCRMatrixPtr g(gbf->Extract(glyph.get(), 0));
  ASSERT_TRUE(g);
  EXPECT_EQ(1536, g->cols);
  float used = 0, unused = 0;
  for (int i = 0; i < 1536; ++i) (i < 4 * 2 * 128 ? used : unused) += std::fabs(MatrixData<float>(g.get())[i]);
  EXPECT_GT(used, 0.0f);
  EXPECT_EQ(0.0f, unused);
  for (int i = 0; i < 1024; ++i) EXPECT_GE(MatrixData<float>(g.get())[i], 0.0f);

  OCRMatrixPtr blank = Blank(64, 64);
  OCRMatrixPtr z(gab->Extract(blank.get(), 0));
  for (int i = 0; i < 768; ++i) EXPECT_NEAR(0.0f, MatrixData<float>(z.get())[i], 1e-3);
}

TEST(HVHFeatures, ProjectionSpectra) {
  OCRMatrixPtr blank = Blank(64, 64);
  OCRMatrixPtr complexOut(CHVHistogramsFeatureExtractorImp("hvh").Extract(blank.get(), 0));
  OCRMatrixPtr magnitudes(CHVHistogramsFeatureExtractorImp("HVHx").Extract(blank.get(), 0));
  ASSERT_TRUE(complexOut && magnitudes);
  EXPECT_EQ(2, complexOut->rows);
  EXPECT_EQ(128, complexOut->cols);
  EXPECT_EQ(1, magnitudes->rows);
  EXPECT_EQ(128, magnitudes->cols);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(0.0f, MatrixData<float>(complexOut.get())[i]);
  for (int i = 0; i < 128; ++i) EXPECT_EQ(0.0f, MatrixData<float>(magnitudes.get())[i]);

  // Column 0 full of ones: the column projection is an impulse of 64 (a flat
  // spectrum of 64), the row projection a constant 1 (64 in element 0).
  OCRMatrixPtr line = Blank(64, 64);
  Fill(line.get(), 0, 0, 0, 63, 1);
  OCRMatrixPtr f(CHVHistogramsFeatureExtractorImp("HVH0").Extract(line.get(), 0));
  const float* re = MatrixData<float>(f.get());
  for (int k = 0; k < 64; ++k) EXPECT_NEAR(64.0f, re[k], 1e-3) << k;
  EXPECT_NEAR(64.0f, re[64], 1e-3);
  for (int k = 1; k < 64; ++k) EXPECT_NEAR(0.0f, re[64 + k], 1e-3) << k;

  // Sizes that are not powers of two are padded.
  OCRMatrixPtr odd = Blank(10, 20);
  f.reset(CHVHistogramsFeatureExtractorImp("HVH1").Extract(odd.get(), 0));
  EXPECT_EQ(32 + 16, f->cols);
}

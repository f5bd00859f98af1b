#pragma once
// Gabor filter features: "GAB" pools the magnitudes of complex Gabor
// responses per zone; "GBF" pools the positive and negative parts of real
// Gabor responses. Names may carry wavelengths as ":first:step:last".
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "ocr/FeatureExtractor.h"

class CGaborFeatureExtractorBase : public CFeatureExtractor {
 public:
  // The wavelengths named by a GAB or GBF name (4, 6, 8 by default); false for
  // a step below 1, wavelengths outside 1..64 or more than maxCount of them.
  static bool ParseWavelengths(const std::string& name, int maxCount, std::vector<int>* wavelengths);
  // Same-size convolution of a float image with a float kernel through the DFT.
  static cv::Mat Convolve(const cv::Mat& image, const cv::Mat& kernel);
  // Real and imaginary Gabor kernels of orientation theta and wavelength lambda.
  static void MakeKernel(double theta, int lambda, cv::Mat* real, cv::Mat* imaginary);

  const std::vector<int>& Wavelengths() const { return wavelengths_; }

 protected:
  explicit CGaborFeatureExtractorBase(std::vector<int> wavelengths) : wavelengths_(std::move(wavelengths)) {}
  // Gaussian-weighted sum of v over each zone widened by 2 pixels inside the
  // image; `keep` selects and transforms the values (sign handling).
  template <typename Keep>
  static void Pool(const cv::Mat& v, float spread, Keep keep, float* out);
  static cv::Mat GlyphAsFloat(const OCRMatrix* image);

  int zoneRows_ = 8;
  int zoneCols_ = 8;
  std::vector<int> wavelengths_;
};

class CGaborMagFeatureExtractorImp : public CGaborFeatureExtractorBase {
 public:
  // Null when the name is not valid.
  static CGaborMagFeatureExtractorImp* Create(const std::string& name);
  OCRMatrix* Extract(const OCRMatrix* image, int unused) override;
  // Magnitude of the response to the complex kernel (real part minus its sum).
  static cv::Mat FilterResponse(const cv::Mat& glyph, double theta, int lambda);
  void PoolZones(const cv::Mat& response, float* out) const;

 private:
  using CGaborFeatureExtractorBase::CGaborFeatureExtractorBase;
};

class CGaborBFeatureExtractorImp : public CGaborFeatureExtractorBase {
 public:
  static constexpr int kMaxWavelengths = 3;
  static constexpr int kOutputLength = 64 * 4 * kMaxWavelengths * 2;
  static CGaborBFeatureExtractorImp* Create(const std::string& name);
  OCRMatrix* Extract(const OCRMatrix* image, int unused) override;
  // Signed response to the real kernel.
  static cv::Mat FilterResponse(const cv::Mat& glyph, double theta, int lambda);
  // 64 sums of the positive parts, then 64 of the negative parts.
  void PoolZonesSigned(const cv::Mat& response, float* positive, float* negative) const;

 private:
  using CGaborFeatureExtractorBase::CGaborFeatureExtractorBase;
};

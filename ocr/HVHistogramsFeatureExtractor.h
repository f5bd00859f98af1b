#pragma once
// "HVH": Fourier spectra of the column and row projections. "HVH" and "HVH0"
// give 2 rows (real, imaginary parts); any other "HVH..." name 1 row of magnitudes.
#include <string>

#include "ocr/FeatureExtractor.h"

class CHVHistogramsFeatureExtractorImp : public CFeatureExtractor {
 public:
  explicit CHVHistogramsFeatureExtractorImp(std::string name) : name_(std::move(name)) {}
  OCRMatrix* Extract(const OCRMatrix* image, int unused) override;

 private:
  std::string name_;
};

#pragma once
// "CCF": directions of the straight lines through the glyph's skeleton; four
// maps (horizontal, vertical, falling, rising) counted per zone, int32 4 x 64.
#include "ocr/FeatureExtractor.h"
#include "ocr/ImageProcessor.h"

class CCICLPFFeatureExtractorImp : public CFeatureExtractor {
 public:
  OCRMatrix* Extract(const OCRMatrix* image, int unused) override;

  // The thinned, staircase-free skeleton of the image (owned by the caller).
  OCRMatrix* Skeleton(const OCRMatrix* image) const;

 private:
  int minimumLine_ = 3;
  CImageProcessor processor_;
};

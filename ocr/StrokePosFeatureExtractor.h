#pragma once
// "StrokePos": positions of the first two strokes seen from each end of every
// row and column; 1 x (4 rows + 4 cols) floats.
#include "ocr/FeatureExtractor.h"

class CStrokePosFeatureExtractorImp : public CFeatureExtractor {
 public:
  OCRMatrix* Extract(const OCRMatrix* image, int unused) override;
  // The value-weighted mean position of stroke k (0 first, 1 second) of a
  // line of n values read with the given step; n - 1 when there is none.
  static float StrokePosition(const uint8_t* line, int n, int step, int k);
};

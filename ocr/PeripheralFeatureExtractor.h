#pragma once
// "PPF": peripheral depths seen from the four sides, summed per band of 8;
// int32 2 x 32 (order 1 then order 2; each left, bottom, right, top).
#include "ocr/FeatureExtractor.h"

class CPeripheralFeatureExtractorImp : public CFeatureExtractor {
 public:
  OCRMatrix* Extract(const OCRMatrix* image, int unused) override;

  // Depth of row y or column x seen from one side; order 1 is the background
  // before the first ink, order 2 the background after the first ink run.
  static int DepthFromLeft(const OCRMatrix* image, int y, int order);
  static int DepthFromRight(const OCRMatrix* image, int y, int order);
  static int DepthFromTop(const OCRMatrix* image, int x, int order);
  static int DepthFromBottom(const OCRMatrix* image, int x, int order);

 private:
  int bandRows_ = 8;
  int bandCols_ = 8;
};

#pragma once
// Distances between a model vector (a) and a glyph's features (b). Both are
// read as doubles whatever their element types.
#include "ocr/OCRMatrix.h"

class CDistanceMeasurer {
 public:
  virtual ~CDistanceMeasurer() = default;
  // Writes the distance and returns 0; returns 1 and leaves *out untouched
  // when the shapes differ.
  virtual int Distance(const OCRMatrix* a, const OCRMatrix* b, double* out) = 0;

 protected:
  static bool SameShape(const OCRMatrix* a, const OCRMatrix* b);
};

// "Cos": 1 - sum a_i b_i (the features are scaled to unit length before).
class CCosineDistanceMeasurerImp : public CDistanceMeasurer {
 public:
  int Distance(const OCRMatrix* a, const OCRMatrix* b, double* out) override;
};

// "L2": the squared Euclidean distance.
class CL2DistanceMeasurerImp : public CDistanceMeasurer {
 public:
  int Distance(const OCRMatrix* a, const OCRMatrix* b, double* out) override;
};

// "City": the sum of absolute differences.
class CCityDistanceMeasurerImp : public CDistanceMeasurer {
 public:
  int Distance(const OCRMatrix* a, const OCRMatrix* b, double* out) override;
};

#pragma once
// Feature extractors turn a normalised 64 x 64 glyph into a feature record.
// The base class is the "None" extractor: the image itself.
#include "ocr/OCRMatrix.h"

class CFeatureExtractor {
 public:
  virtual ~CFeatureExtractor() = default;
  // A new record owned by the caller; null for a missing or unusable image.
  // The second argument is unused.
  virtual OCRMatrix* Extract(const OCRMatrix* image, int unused) {
    (void)unused;
    return CloneMatrix(image);
  }

 protected:
  static bool IsByteImage(const OCRMatrix* image) {
    return image && image->type == OCR_U8 && image->rows > 0 && image->cols > 0 && image->data;
  }
};

// Zone counts shared by the structural extractors: 64 counts of the non-zero
// entries of a rows x cols mark map per zone (y / (rows / 8)) * 8 + x / (cols / 8).
void CountZones(const uint8_t* marks, int rows, int cols, int32_t* counts);

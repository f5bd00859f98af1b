#pragma once
// Binary-image toolkit on byte records (non-zero is ink): line lengths,
// neighbourhoods, staircase smoothing and thinning. x is the column, y the row.
#include "ocr/OCRMatrix.h"

class CImageProcessor {
 public:
  virtual ~CImageProcessor() = default;

  // Consecutive ink pixels next to (x, y) in a direction 1..8 (right,
  // down-right, down, down-left, left, up-left, up, up-right); -1 for another direction.
  int RunLength(const OCRMatrix* image, int x, int y, int direction) const;
  // The longest straight line through (x, y) over the four axes.
  int LongestLine(const OCRMatrix* image, int x, int y) const;
  int CountNeighbours(const OCRMatrix* image, int x, int y) const;
  // Background-to-ink steps around an interior pixel.
  int CrossingNumber(const OCRMatrix* image, int x, int y) const;
  bool IsStaircasePixel(const OCRMatrix* image, int x, int y) const;
  // Copies that the caller owns; the input stays as it is.
  OCRMatrix* SmoothStaircases(const OCRMatrix* image) const;
  OCRMatrix* Thin(const OCRMatrix* image) const;

  // The pixel value, 0 outside the image.
  static int Pixel(const OCRMatrix* image, int x, int y);
};

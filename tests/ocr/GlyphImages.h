#pragma once
// Small byte images for the normaliser and feature tests.
#include <cstdint>

#include "ocr/OCRMatrix.h"

namespace ocrtest {

inline OCRMatrixPtr Blank(int rows, int cols) { return OCRMatrixPtr(CreateMatrix(OCR_U8, rows, cols)); }

inline void Fill(OCRMatrix* m, int x0, int y0, int x1, int y1, uint8_t value) {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) MatrixData<uint8_t>(m)[y * m->cols + x] = value;
}

inline uint8_t At(const OCRMatrix* m, int x, int y) { return MatrixData<uint8_t>(m)[y * m->cols + x]; }

inline int CountInk(const OCRMatrix* m) {
  int n = 0;
  for (size_t i = 0; i < OCRElementCount(m); ++i) n += MatrixData<uint8_t>(m)[i] ? 1 : 0;
  return n;
}

}  // namespace ocrtest

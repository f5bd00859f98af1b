#include "ocr/StrokePosFeatureExtractor.h"

float CStrokePosFeatureExtractorImp::StrokePosition(const uint8_t* line, int n, int step, int k) {
  int stroke = -1;
  bool inStroke = false;
  float weighted = 0.0f, total = 0.0f;
  for (int i = 0; i < n; ++i) {
    const uint8_t v = line[static_cast<ptrdiff_t>(i) * step];
    if (v && !inStroke) {
      ++stroke;
      if (stroke > k) break;
    }
    inStroke = v != 0;
    if (v && stroke == k) {
      weighted += static_cast<float>(i) * v;
      total += v;
    }
  }
  return total > 0.0f ? weighted / total : static_cast<float>(n - 1);
}

OCRMatrix* CStrokePosFeatureExtractorImp::Extract(const OCRMatrix* image, int) {
  if (!IsByteImage(image)) return nullptr;
  const int R = image->rows, C = image->cols;
  OCRMatrixPtr out(CreateMatrix(OCR_FLOAT, 1, 4 * R + 4 * C));
  if (!out) return nullptr;
  const uint8_t* p = MatrixData<uint8_t>(image);
  float* v = MatrixData<float>(out.get());
  for (int y = 0; y < R; ++y) {
    const uint8_t* row = p + static_cast<size_t>(y) * C;
    for (int k = 0; k < 2; ++k) *v++ = StrokePosition(row, C, 1, k);
    for (int k = 0; k < 2; ++k) *v++ = StrokePosition(row + C - 1, C, -1, k);
  }
  for (int x = 0; x < C; ++x) {
    const uint8_t* column = p + x;
    for (int k = 0; k < 2; ++k) *v++ = StrokePosition(column, R, C, k);
    for (int k = 0; k < 2; ++k) *v++ = StrokePosition(column + static_cast<size_t>(R - 1) * C, R, -C, k);
  }
  return out.release();
}

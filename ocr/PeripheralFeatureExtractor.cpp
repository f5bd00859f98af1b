#include "ocr/PeripheralFeatureExtractor.h"

#include <algorithm>

namespace {

// Depth along n values read with the given step.
int Depth(const uint8_t* line, int n, ptrdiff_t step, int order) {
  int i = 0;
  while (i < n && !line[i * step]) ++i;
  if (order == 1) return i;
  if (i == n) return 0;
  while (i < n && line[i * step]) ++i;
  const int start = i;
  while (i < n && !line[i * step]) ++i;
  return i - start;
}

const uint8_t* Row(const OCRMatrix* image, int y) { return MatrixData<uint8_t>(image) + static_cast<size_t>(y) * image->cols; }

}  // namespace

int CPeripheralFeatureExtractorImp::DepthFromLeft(const OCRMatrix* image, int y, int order) {
  return Depth(Row(image, y), image->cols, 1, order);
}
int CPeripheralFeatureExtractorImp::DepthFromRight(const OCRMatrix* image, int y, int order) {
  return Depth(Row(image, y) + image->cols - 1, image->cols, -1, order);
}
int CPeripheralFeatureExtractorImp::DepthFromTop(const OCRMatrix* image, int x, int order) {
  return Depth(Row(image, 0) + x, image->rows, image->cols, order);
}
int CPeripheralFeatureExtractorImp::DepthFromBottom(const OCRMatrix* image, int x, int order) {
  return Depth(Row(image, image->rows - 1) + x, image->rows, -static_cast<ptrdiff_t>(image->cols), order);
}

OCRMatrix* CPeripheralFeatureExtractorImp::Extract(const OCRMatrix* image, int) {
  if (!IsByteImage(image)) return nullptr;
  OCRMatrixPtr out(CreateMatrix(OCR_INT32, 2, 32));
  if (!out) return nullptr;
  const int bandHeight = std::max(1, image->rows / bandRows_), bandWidth = std::max(1, image->cols / bandCols_);
  int32_t* v = MatrixData<int32_t>(out.get());
  for (int order = 1; order <= 2; ++order) {
    int32_t* block = v + (order - 1) * 32;
    for (int y = 0; y < image->rows; ++y) {
      const int band = std::min(y / bandHeight, bandRows_ - 1);
      block[band] += DepthFromLeft(image, y, order);
      block[16 + band] += DepthFromRight(image, y, order);
    }
    for (int x = 0; x < image->cols; ++x) {
      const int band = std::min(x / bandWidth, bandCols_ - 1);
      block[8 + band] += DepthFromBottom(image, x, order);
      block[24 + band] += DepthFromTop(image, x, order);
    }
  }
  return out.release();
}

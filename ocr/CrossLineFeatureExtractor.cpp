#include "ocr/CrossLineFeatureExtractor.h"

#include <cstdio>

#include "ocr/ImageProcessor.h"

void CCrossLineFeatureExtractor::MarkLine(const OCRMatrix* image, int x, int y, int dx, int dy,
                                          std::vector<uint8_t>& marks) const {
  int n = 0;
  while (x + n * dx >= 0 && x + n * dx < image->cols && y + n * dy >= 0 && y + n * dy < image->rows) ++n;
  const int L = MinimumRun();
  auto ink = [&](int i) { return CImageProcessor::Pixel(image, x + i * dx, y + i * dy) != 0; };
  int i = 0;
  while (i < n - L - 1) {
    if (!ink(i)) {
      ++i;
      continue;
    }
    int end = i;
    while (end < n && ink(end)) ++end;
    const int length = (end == n) ? end - i - 1 : end - i;  // the line's last pixel does not count
    if (length >= L)
      for (int k = i; k < i + length; ++k) marks[static_cast<size_t>(y + k * dy) * image->cols + x + k * dx] = 1;
    i = end;
  }
}

void CCrossLineFeatureExtractor::MarkHorizontalRuns(const OCRMatrix* image, std::vector<uint8_t>& marks) const {
  for (int y = 0; y < image->rows; ++y) MarkLine(image, 0, y, 1, 0, marks);
}

void CCrossLineFeatureExtractor::MarkVerticalRuns(const OCRMatrix* image, std::vector<uint8_t>& marks) const {
  for (int x = 0; x < image->cols; ++x) MarkLine(image, x, 0, 0, 1, marks);
}

void CCrossLineFeatureExtractor::MarkRisingDiagonalRuns(const OCRMatrix* image, std::vector<uint8_t>& marks) const {
  // From the lower left towards the upper right: starts on the left column and the bottom row.
  for (int y = 0; y < image->rows; ++y) MarkLine(image, 0, y, 1, -1, marks);
  for (int x = 1; x < image->cols; ++x) MarkLine(image, x, image->rows - 1, 1, -1, marks);
}

void CCrossLineFeatureExtractor::MarkFallingDiagonalRuns(const OCRMatrix* image, std::vector<uint8_t>& marks) const {
  // From the upper left towards the lower right: starts on the left column and the top row.
  for (int y = 0; y < image->rows; ++y) MarkLine(image, 0, y, 1, 1, marks);
  for (int x = 1; x < image->cols; ++x) MarkLine(image, x, 0, 1, 1, marks);
}

OCRMatrix* CCrossLineFeatureExtractor::Extract(const OCRMatrix* image, int) {
  if (!image) {
    std::printf("Input parameter pCharacter is null.\n");
    return nullptr;
  }
  if (!IsByteImage(image)) return nullptr;
  OCRMatrixPtr out(CreateMatrix(OCR_INT32, 64, 4));
  if (!out) return nullptr;
  using Marker = void (CCrossLineFeatureExtractor::*)(const OCRMatrix*, std::vector<uint8_t>&) const;
  const Marker markers[4] = {&CCrossLineFeatureExtractor::MarkHorizontalRuns, &CCrossLineFeatureExtractor::MarkVerticalRuns,
                             &CCrossLineFeatureExtractor::MarkRisingDiagonalRuns,
                             &CCrossLineFeatureExtractor::MarkFallingDiagonalRuns};
  std::vector<uint8_t> marks(OCRElementCount(image));
  for (int block = 0; block < 4; ++block) {
    std::fill(marks.begin(), marks.end(), 0);
    (this->*markers[block])(image, marks);
    CountZones(marks.data(), image->rows, image->cols, MatrixData<int32_t>(out.get()) + block * 64);
  }
  return out.release();
}

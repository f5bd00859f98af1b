#include "ocr/CICLPFFeatureExtractor.h"

#include <vector>

OCRMatrix* CCICLPFFeatureExtractorImp::Skeleton(const OCRMatrix* image) const {
  if (!IsByteImage(image)) return nullptr;
  OCRMatrixPtr padded(CreateMatrix(OCR_U8, image->rows + 2, image->cols + 2));
  if (!padded || !CropMatrix(image, 0, 0, image->cols, image->rows, padded.get(), 1, 1)) return nullptr;
  OCRMatrixPtr thin(processor_.Thin(padded.get()));
  OCRMatrixPtr smooth(thin ? processor_.SmoothStaircases(thin.get()) : nullptr);
  OCRMatrixPtr skeleton(CreateMatrix(OCR_U8, image->rows, image->cols));
  if (!smooth || !skeleton || !CropMatrix(smooth.get(), 1, 1, image->cols, image->rows, skeleton.get(), 0, 0))
    return nullptr;
  return skeleton.release();
}

OCRMatrix* CCICLPFFeatureExtractorImp::Extract(const OCRMatrix* image, int) {
  if (!IsByteImage(image)) return nullptr;
  OCRMatrixPtr skeleton(Skeleton(image));
  OCRMatrixPtr out(CreateMatrix(OCR_INT32, 4, 64));
  if (!skeleton || !out) return nullptr;
  const int R = image->rows, C = image->cols;
  std::vector<uint8_t> maps[4];
  for (auto& map : maps) map.assign(static_cast<size_t>(R) * C, 0);
  // Direction pairs for map 1 horizontal, 2 vertical, 3 falling, 4 rising.
  static constexpr int kSenses[4][2] = {{5, 1}, {7, 3}, {6, 2}, {8, 4}};
  const uint8_t* s = MatrixData<uint8_t>(skeleton.get());
  for (int y = 0; y < R; ++y)
    for (int x = 0; x < C; ++x) {
      if (!s[static_cast<size_t>(y) * C + x]) continue;
      int length[4];
      for (int d = 0; d < 4; ++d)
        length[d] = 1 + processor_.RunLength(image, x, y, kSenses[d][0]) + processor_.RunLength(image, x, y, kSenses[d][1]);
      // Longest, first direction among equals; then the longest strictly shorter one.
      int best = 0;
      for (int d = 1; d < 4; ++d)
        if (length[d] > length[best]) best = d;
      if (length[best] < minimumLine_) continue;
      maps[best][static_cast<size_t>(y) * C + x] = 1;
      int second = -1;
      for (int d = 0; d < 4; ++d)
        if (length[d] < length[best] && (second < 0 || length[d] > length[second])) second = d;
      if (second >= 0 && length[second] >= minimumLine_ && length[best] - length[second] <= 1)
        maps[second][static_cast<size_t>(y) * C + x] = 1;
    }
  for (int t = 0; t < 4; ++t) CountZones(maps[t].data(), R, C, MatrixData<int32_t>(out.get()) + t * 64);
  return out.release();
}

#pragma once
// "CrossLine": long straight ink runs per direction, counted per zone. Four
// blocks of 64 int32 counts (horizontal, vertical, rising, falling), declared
// 64 rows x 4 cols.
#include <vector>

#include "ocr/FeatureExtractor.h"

class CCrossLineFeatureExtractor : public CFeatureExtractor {
 public:
  OCRMatrix* Extract(const OCRMatrix* image, int unused) override;

  // Each marks the pixels of the long runs along its lines in `marks`.
  void MarkHorizontalRuns(const OCRMatrix* image, std::vector<uint8_t>& marks) const;
  void MarkVerticalRuns(const OCRMatrix* image, std::vector<uint8_t>& marks) const;
  void MarkRisingDiagonalRuns(const OCRMatrix* image, std::vector<uint8_t>& marks) const;
  void MarkFallingDiagonalRuns(const OCRMatrix* image, std::vector<uint8_t>& marks) const;

 private:
  // Marks the long runs of one line that starts at (x, y) and steps by (dx, dy).
  void MarkLine(const OCRMatrix* image, int x, int y, int dx, int dy, std::vector<uint8_t>& marks) const;
  int MinimumRun() const { return unit_ * runFactor_; }

  int unit_ = 1;
  int runFactor_ = 3;
};

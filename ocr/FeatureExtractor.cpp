#include "ocr/FeatureExtractor.h"

#include <algorithm>

void CountZones(const uint8_t* marks, int rows, int cols, int32_t* counts) {
  std::fill(counts, counts + 64, 0);
  const int zh = rows / 8, zw = cols / 8;
  if (zh == 0 || zw == 0) return;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x)
      if (marks[static_cast<size_t>(y) * cols + x]) ++counts[std::min(y / zh, 7) * 8 + std::min(x / zw, 7)];
}

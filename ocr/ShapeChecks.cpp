#include "ocr/ShapeChecks.h"

#include <algorithm>
#include <string>

namespace {

// Full-width GBK forms, as the model names letters and digits.
const char kUpperO[] = "\xA3\xCF", kLowerO[] = "\xA3\xEF", kZero[] = "\xA3\xB0";
const char kUpperC[] = "\xA3\xC3", kLowerC[] = "\xA3\xE3";

}  // namespace

bool OpensToTheRight(const cv::Mat& ink) {
  if (ink.empty() || ink.type() != CV_8UC1 || ink.rows < 6 || ink.cols < 4) return false;
  const int top = ink.rows / 3, bottom = ink.rows - ink.rows / 3, right = ink.cols - std::max(1, ink.cols / 4);
  int reaching = 0;
  for (int y = top; y < bottom; ++y) reaching += cv::countNonZero(ink.row(y).colRange(right, ink.cols)) > 0;
  return 4 * reaching < bottom - top;
}

void SettleOpenRounds(const cv::Mat& ink, CellReadings* cell) {
  bool round = false;
  for (const std::string& label : cell->labels) round = round || label == kUpperO || label == kLowerO || label == kZero;
  if (!round || !OpensToTheRight(ink)) return;
  CellReadings settled = *cell;
  settled.labels.clear();
  settled.distances.clear();
  for (size_t k = 0; k < cell->labels.size(); ++k) {
    const std::string& label = cell->labels[k];
    const std::string open = label == kLowerO ? kLowerC : label == kUpperO || label == kZero ? kUpperC : label;
    const auto held = std::find(settled.labels.begin(), settled.labels.end(), open);
    if (held != settled.labels.end()) continue;  // readings come closest first
    settled.labels.push_back(open);
    settled.distances.push_back(cell->distances[k]);
  }
  *cell = settled;
}

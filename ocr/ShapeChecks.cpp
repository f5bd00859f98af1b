#include "ocr/ShapeChecks.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>

namespace {

// Full-width GBK forms, as the model names letters and digits.
const char kUpperO[] = "\xA3\xCF", kLowerO[] = "\xA3\xEF", kZero[] = "\xA3\xB0";
const char kUpperC[] = "\xA3\xC3", kLowerC[] = "\xA3\xE3";
const char kLowerI[] = "\xA3\xE9";
// The case twin's place must fit this much better (in PlaceMismatch units).
constexpr double kCaseMargin = 2.0;

// The ASCII character of a full-width letter or digit label, or 0.
char AsciiOf(const std::string& label) {
  if (label.size() != 2 || static_cast<uint8_t>(label[0]) != 0xA3) return 0;
  const int c = static_cast<uint8_t>(label[1]) - 0x80;
  return std::isalnum(c) ? static_cast<char>(c) : 0;
}

std::string FullWidth(char c) { return std::string{'\xA3', static_cast<char>(static_cast<uint8_t>(c) + 0x80)}; }

bool IsBar(const std::string& label) {
  const char c = AsciiOf(label);
  return c == 'l' || c == 'I' || c == '1' || label == "\xA3\xFC";  // "|"
}

// Each reading relabelled; a label already read keeps the closer distance
// (readings come closest first).
void Relabel(CellReadings* cell, const std::function<std::string(const std::string&)>& relabel) {
  CellReadings settled = *cell;
  settled.labels.clear();
  settled.distances.clear();
  for (size_t k = 0; k < cell->labels.size(); ++k) {
    const std::string label = relabel(cell->labels[k]);
    if (std::find(settled.labels.begin(), settled.labels.end(), label) != settled.labels.end()) continue;
    settled.labels.push_back(label);
    settled.distances.push_back(cell->distances[k]);
  }
  *cell = settled;
}

}  // namespace

bool OpensToTheRight(const cv::Mat& ink) {
  if (ink.empty() || ink.type() != CV_8UC1 || ink.rows < 6 || ink.cols < 4) return false;
  const int top = ink.rows / 3, bottom = ink.rows - ink.rows / 3, right = ink.cols - std::max(1, ink.cols / 4);
  int reaching = 0;
  for (int y = top; y < bottom; ++y) reaching += cv::countNonZero(ink.row(y).colRange(right, ink.cols)) > 0;
  return 2 * reaching < bottom - top;
}

void SettleOpenRounds(const cv::Mat& ink, CellReadings* cell) {
  bool round = false;
  for (const std::string& label : cell->labels) round = round || label == kUpperO || label == kLowerO || label == kZero;
  if (!round || !OpensToTheRight(ink)) return;
  Relabel(cell, [](const std::string& label) -> std::string {
    return label == kLowerO ? kLowerC : label == kUpperO || label == kZero ? kUpperC : label;
  });
}

bool HasDotAbove(const cv::Mat& ink) {
  if (ink.empty() || ink.type() != CV_8UC1 || ink.rows < 6) return false;
  int y = 0;
  while (y < ink.rows && cv::countNonZero(ink.row(y)) == 0) ++y;
  const int dotTop = y;
  while (y < ink.rows && cv::countNonZero(ink.row(y)) > 0) ++y;
  const int dotBottom = y;
  while (y < ink.rows && cv::countNonZero(ink.row(y)) == 0) ++y;
  const int barTop = y, dot = dotBottom - dotTop;
  // A dot of at least two rows, close above the bar: not a speck of noise.
  if (barTop >= ink.rows || dotBottom == barTop || dot < 2 || barTop - dotBottom > 2 * dot ||
      3 * dot > ink.rows - dotTop)
    return false;
  cv::Mat columns;
  auto width = [&](int first, int last) {
    cv::reduce(ink.rowRange(first, last), columns, 0, cv::REDUCE_MAX);
    return cv::countNonZero(columns);
  };
  const int dotWidth = width(dotTop, dotBottom), barWidth = width(barTop, ink.rows);
  return dotWidth <= barWidth && 2 * dotWidth >= barWidth;
}

void SettleDottedBars(const cv::Mat& ink, CellReadings* cell) {
  if (cell->labels.empty() || !IsBar(cell->labels[0]) || !HasDotAbove(ink)) return;
  Relabel(cell, [](const std::string& label) { return IsBar(label) ? std::string(kLowerI) : label; });
}

void SettleCaseByPlace(CellReadings* cell, const GlyphGeometry& geometry, const LineBox& box) {
  static const std::string kShared = "cosvwxz";
  Relabel(cell, [&](const std::string& label) {
    const char c = AsciiOf(label);
    if (!c || kShared.find(static_cast<char>(std::tolower(c))) == std::string::npos) return label;
    const std::string twin = FullWidth(std::islower(c) ? static_cast<char>(std::toupper(c)) : static_cast<char>(std::tolower(c)));
    const GlyphPlace* place = geometry.Find(label.c_str());
    const GlyphPlace* twinPlace = geometry.Find(twin.c_str());
    if (!place || !twinPlace) return label;
    return PlaceMismatch(cell->rect, *twinPlace, box) + kCaseMargin < PlaceMismatch(cell->rect, *place, box) ? twin : label;
  });
}

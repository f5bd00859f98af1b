#include "ocr/PageLayout.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "ocr/DocOCR.h"
#include "ocr/OCRList.h"
#include "ocr/TextHeight.h"

namespace {

// A column's lines: blocks at least this many times wider than high, and
// this share of a column's blocks must be such lines.
constexpr double kLineRatio = 8.0;
constexpr double kLineShare = 0.6;
// The blank strip between columns is at least this many block heights wide.
constexpr double kGutterHeights = 1.0;
// A block reaching across this share of the blocks' width parts columns.
constexpr double kSpanningShare = 0.6;
// The page's ink for another engine, found as the own engine finds it.
constexpr int kPageBlockSize = 51;
constexpr double kThresholdOffset = 25.0;

using Blocks = std::vector<OCRTextBlock>;

std::vector<OCRTextBlock> ByLines(const Blocks& blocks) {
  OCRList<OCRTextBlock> ordered;
  for (const OCRTextBlock& block : blocks) ordered.Append(block);
  ordered.MergeSort(CompareReadingOrder);
  Blocks out;
  ordered.ForEach([&](const OCRTextBlock& block) { out.push_back(block); });
  return out;
}

bool MostlyLines(const Blocks& blocks) {
  if (blocks.size() < 2) return false;
  size_t lines = 0;
  for (const OCRTextBlock& b : blocks) lines += b.width >= kLineRatio * b.height;
  return lines >= kLineShare * static_cast<double>(blocks.size());
}

int MedianHeight(const Blocks& blocks) {
  std::vector<int> heights;
  for (const OCRTextBlock& b : blocks) heights.push_back(b.height);
  std::nth_element(heights.begin(), heights.begin() + static_cast<std::ptrdiff_t>(heights.size() / 2), heights.end());
  return heights[heights.size() / 2];
}

// The x of the widest blank strip down the blocks that parts them into two
// columns of lines; -1 when there is none.
int ColumnCut(const Blocks& blocks) {
  std::vector<std::pair<int, int>> spans;
  for (const OCRTextBlock& b : blocks) spans.emplace_back(b.x, b.x + b.width);
  std::sort(spans.begin(), spans.end());
  const int leastGap = static_cast<int>(kGutterHeights * MedianHeight(blocks));
  int reach = spans.front().second, bestGap = 0, cut = -1;
  for (const auto& [left, right] : spans) {
    if (left - reach > std::max(bestGap, leastGap)) {
      Blocks before, after;
      const int at = (reach + left) / 2;
      for (const OCRTextBlock& b : blocks) (b.x + b.width / 2 < at ? before : after).push_back(b);
      if (MostlyLines(before) && MostlyLines(after)) {
        bestGap = left - reach;
        cut = at;
      }
    }
    reach = std::max(reach, right);
  }
  return cut;
}

// Whether the blocks, or a section of them, stand in columns.
bool HasColumns(const Blocks& blocks) {
  if (blocks.size() < 2) return false;
  if (ColumnCut(blocks) >= 0) return true;
  int x0 = blocks.front().x, x1 = x0;
  for (const OCRTextBlock& b : blocks) {
    x0 = std::min(x0, b.x);
    x1 = std::max(x1, b.x + b.width);
  }
  Blocks section;
  for (const OCRTextBlock& b : ByLines(blocks)) {
    if (b.width < kSpanningShare * (x1 - x0)) {
      section.push_back(b);
    } else if (section.size() < blocks.size() && HasColumns(section)) {
      return true;
    } else {
      section.clear();
    }
  }
  return section.size() < blocks.size() && HasColumns(section);
}

void Order(const Blocks& blocks, Blocks* out) {
  if (blocks.size() < 2) {
    out->insert(out->end(), blocks.begin(), blocks.end());
    return;
  }
  if (const int cut = ColumnCut(blocks); cut >= 0) {
    Blocks left, right;
    for (const OCRTextBlock& b : blocks) (b.x + b.width / 2 < cut ? left : right).push_back(b);
    Order(left, out);
    Order(right, out);
    return;
  }
  // Blocks across the page part it into sections, each read on its own.
  int x0 = blocks.front().x, x1 = x0;
  for (const OCRTextBlock& b : blocks) {
    x0 = std::min(x0, b.x);
    x1 = std::max(x1, b.x + b.width);
  }
  const Blocks lines = ByLines(blocks);
  Blocks section;
  bool parted = false;
  for (const OCRTextBlock& b : lines) {
    if (b.width >= kSpanningShare * (x1 - x0)) {
      parted = parted || !section.empty();
      Order(section, out);
      section.clear();
      out->push_back(b);
    } else {
      section.push_back(b);
    }
  }
  if (!parted && section.size() == blocks.size()) {
    out->insert(out->end(), section.begin(), section.end());
    return;
  }
  Order(section, out);
}

}  // namespace

cv::Mat FindRules(const cv::Mat& ink, int textHeight) {
  if (ink.empty() || ink.type() != CV_8UC1 || textHeight <= 0) return cv::Mat();
  const int length = static_cast<int>(kRuleLength * textHeight);
  // Runs of ink along the rows of `image` at least `length` long, marked in `rules`.
  auto markRuns = [length](const cv::Mat& image, cv::Mat& rules) {
    for (int y = 0; y < image.rows; ++y) {
      const uchar* row = image.ptr<uchar>(y);
      uchar* mark = rules.ptr<uchar>(y);
      for (int x = 0; x < image.cols;) {
        if (!row[x]) {
          ++x;
          continue;
        }
        int end = x;
        while (end < image.cols && row[end]) ++end;
        if (end - x >= length) std::fill(mark + x, mark + end, uchar(255));
        x = end;
      }
    }
  };
  cv::Mat along = cv::Mat::zeros(ink.size(), CV_8U), turned, acrossTurned, across;
  markRuns(ink, along);
  cv::transpose(ink, turned);
  acrossTurned = cv::Mat::zeros(turned.size(), CV_8U);
  markRuns(turned, acrossTurned);
  cv::transpose(acrossTurned, across);
  cv::Mat rules;
  cv::bitwise_or(along, across, rules);
  if (cv::countNonZero(rules) == 0) return cv::Mat();
  // The rules' soft edges go with them.
  cv::dilate(rules, rules, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
  return rules;
}

std::vector<OCRTextBlock> ReadingOrder(const std::vector<OCRTextBlock>& blocks) {
  Blocks out;
  Order(blocks, &out);
  return out;
}

cv::Mat PageWithoutRules(const cv::Mat& grey, bool* inColumns) {
  *inColumns = false;
  if (grey.empty() || grey.type() != CV_8UC1) return grey;
  cv::Mat binary, ink;
  cv::adaptiveThreshold(grey, binary, 255, cv::ADAPTIVE_THRESH_GAUSSIAN_C, cv::THRESH_BINARY, kPageBlockSize,
                        kThresholdOffset);
  cv::subtract(cv::Scalar::all(255), binary, ink);
  const int textHeight = MeasureTextHeight(ink);
  cv::Mat page = grey;
  if (const cv::Mat rules = FindRules(ink, textHeight); !rules.empty()) {
    page = grey.clone();
    page.setTo(cv::Scalar::all(255), rules);
  }
  std::vector<cv::Mat> images;
  std::vector<cv::Rect> rectangles;
  DetectTextBlocks(binary, binary, &images, &rectangles, textHeight);
  Blocks blocks;
  for (const cv::Rect& r : rectangles) {
    OCRTextBlock block;
    block.x = r.x;
    block.y = r.y;
    block.width = r.width;
    block.height = r.height;
    blocks.push_back(block);
  }
  *inColumns = HasColumns(blocks);
  return page;
}

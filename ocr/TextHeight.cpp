#include "ocr/TextHeight.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace {

constexpr int kBandShare = 6;         // pages are measured in every other sixth
constexpr int kLeastBand = 200;       // rows; lower pages are measured whole
constexpr int kSmallestMark = 8;      // pixels of ink
constexpr int kLowestMark = 4;        // rows
constexpr size_t kFewestMarks = 12;   // a page with fewer has no measurable print
constexpr int kLowestPrint = 7;       // rows; lower print is not scaled up
constexpr double kMarkShare = 0.75;   // of the marks' heights, counted by height
constexpr int kTallestMark = 6;       // times the median mark: taller ones are not print
// Print from kSmallest to kLargest pixels is read as it is; smaller print is
// enlarged to kSmallTarget, larger print shrunk to kLargeTarget.
constexpr int kSmallest = 24;
constexpr int kLargest = 40;
constexpr double kSmallTarget = 28.0;
constexpr double kLargeTarget = 32.0;
constexpr double kLargestPage = 12e6;  // pixels
constexpr double kLargestEnlargement = 2.5;
constexpr double kLargestShrink = 0.25;

}  // namespace

namespace {

// A tall page is measured in bands across it, which tell as much as the
// whole page at a fraction of the cost; marks cut by a band's edge are few.
std::vector<cv::Rect> Bands(cv::Size page) {
  std::vector<cv::Rect> bands;
  const int bandHeight = page.height / kBandShare;
  if (bandHeight >= kLeastBand)
    for (int b = 1; b < kBandShare; b += 2) bands.emplace_back(0, b * bandHeight, page.width, bandHeight);
  else
    bands.emplace_back(0, 0, page.width, page.height);
  return bands;
}

// Adds the heights of the marks of one band of a page of `page` size.
void AddMarkHeights(const cv::Mat& band, cv::Size page, std::vector<int>* heights) {
  cv::Mat labels, stats, centres;
  const int n = cv::connectedComponentsWithStats(band, labels, stats, centres, 8, CV_32S);
  for (int i = 1; i < n; ++i) {
    const int* s = stats.ptr<int>(i);
    const int height = s[cv::CC_STAT_HEIGHT];
    if (s[cv::CC_STAT_AREA] >= kSmallestMark && height >= kLowestMark && height <= page.height / 4 &&
        s[cv::CC_STAT_WIDTH] <= page.width / 4)
      heights->push_back(height);
  }
}

// The height below which the share of the marks' heights lies. Marks much
// taller than most (photographs, dark blocks, rules across the page) do not
// count: each counts by its height and would outweigh the print.
int TallShare(std::vector<int>& heights) {
  if (heights.size() < kFewestMarks) return 0;
  std::sort(heights.begin(), heights.end());
  const int median = heights[heights.size() / 2];
  heights.erase(std::upper_bound(heights.begin(), heights.end(), kTallestMark * median), heights.end());
  long total = 0;
  for (int height : heights) total += height;
  long seen = 0;
  for (int height : heights)
    if ((seen += height) >= kMarkShare * static_cast<double>(total)) return height;
  return heights.back();
}

}  // namespace

int MeasureTextHeight(const cv::Mat& inkImage) {
  if (inkImage.empty() || inkImage.type() != CV_8UC1) return 0;
  std::vector<int> heights;
  for (const cv::Rect& band : Bands(inkImage.size())) AddMarkHeights(inkImage(band), inkImage.size(), &heights);
  return TallShare(heights);
}

int MeasurePrintHeight(const cv::Mat& grey, int blockSize, double offset) {
  if (grey.empty() || grey.type() != CV_8UC1 || blockSize < 3 || blockSize % 2 == 0) return 0;
  std::vector<int> heights;
  for (const cv::Rect& band : Bands(grey.size())) {
    cv::Mat ink;
    cv::adaptiveThreshold(grey(band), ink, 255, cv::ADAPTIVE_THRESH_MEAN_C, cv::THRESH_BINARY_INV, blockSize, offset);
    AddMarkHeights(ink, grey.size(), &heights);
  }
  return TallShare(heights);
}

double TextScale(int height, cv::Size size) {
  if (height < kLowestPrint) return 1.0;
  double scale = 1.0;
  if (height < kSmallest) scale = std::min(kLargestEnlargement, kSmallTarget / height);
  if (height > kLargest) scale = std::max(kLargestShrink, kLargeTarget / height);
  const double pixels = static_cast<double>(size.width) * size.height;
  if (scale > 1.0 && pixels * scale * scale > kLargestPage) scale = std::max(1.0, std::sqrt(kLargestPage / pixels));
  return scale;
}

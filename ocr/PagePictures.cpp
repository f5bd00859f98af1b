#include "ocr/PagePictures.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace {

constexpr double kPixelsPerPrint = 2.0;  // the page is looked at this coarsely
constexpr int kMeanWindow = 3;          // coarse pixels: one and a half print heights
// The densest print (bold headlines) averages well above this share of the
// paper's grey; photographs and dark blocks lie below it.
constexpr double kPictureShare = 0.55;
constexpr int kLeastSide = 8;           // coarse pixels: four print heights
constexpr double kLeastFill = 0.5;      // of its bounding box: a region, not a frame
constexpr double kPaperRank = 0.9;      // the paper's grey: this share of the page is darker
constexpr int kRing = 2;                // coarse pixels out from a region: a print height
constexpr double kBrightRing = 0.8;     // of the paper's grey, around a photograph

}  // namespace

int WhitenPictures(cv::Mat* grey, int printHeight) {
  if (!grey || grey->empty() || grey->type() != CV_8UC1 || printHeight < 4) return 0;
  const double f = kPixelsPerPrint / printHeight;
  cv::Mat coarse, mean;
  cv::resize(*grey, coarse, cv::Size(), f, f, cv::INTER_AREA);
  if (coarse.rows < kLeastSide || coarse.cols < kLeastSide) return 0;
  cv::blur(coarse, mean, cv::Size(kMeanWindow, kMeanWindow));
  std::vector<uchar> values(coarse.begin<uchar>(), coarse.end<uchar>());
  auto rank = values.begin() + static_cast<std::ptrdiff_t>(kPaperRank * (values.size() - 1));
  std::nth_element(values.begin(), rank, values.end());
  const int paper = *rank;
  cv::Mat dark = mean < kPictureShare * paper;
  cv::Mat labels, stats, centres;
  const int n = cv::connectedComponentsWithStats(dark, labels, stats, centres, 8, CV_32S);
  // Photographs are rectangles: each region's bounding box is painted, and
  // half a print height around it where the mean ran into its edges.
  int painted = 0;
  const double back = 1.0 / f;
  for (int i = 1; i < n; ++i) {
    const int* s = stats.ptr<int>(i);
    const int w = s[cv::CC_STAT_WIDTH], h = s[cv::CC_STAT_HEIGHT];
    if (w < kLeastSide || h < kLeastSide || s[cv::CC_STAT_AREA] < kLeastFill * w * h) continue;
    // A photograph stands on the paper: around it the page is bright. A
    // shadow or the desk beyond the sheet fades into dim page all round.
    const cv::Rect inner(s[cv::CC_STAT_LEFT], s[cv::CC_STAT_TOP], w, h);
    const cv::Rect outer(inner.x - kRing, inner.y - kRing, w + 2 * kRing, h + 2 * kRing);
    if (outer != (outer & cv::Rect(0, 0, coarse.cols, coarse.rows))) continue;
    std::vector<uchar> ring;
    for (int x = outer.x; x < outer.br().x; ++x) {
      ring.push_back(mean.at<uchar>(outer.y, x));
      ring.push_back(mean.at<uchar>(outer.br().y - 1, x));
    }
    for (int y = outer.y + 1; y + 1 < outer.br().y; ++y) {
      ring.push_back(mean.at<uchar>(y, outer.x));
      ring.push_back(mean.at<uchar>(y, outer.br().x - 1));
    }
    auto middle = ring.begin() + static_cast<std::ptrdiff_t>(ring.size() / 2);
    std::nth_element(ring.begin(), middle, ring.end());
    if (*middle < kBrightRing * paper) continue;
    const cv::Rect box(static_cast<int>((inner.x - 1) * back), static_cast<int>((inner.y - 1) * back),
                       static_cast<int>((w + 2) * back), static_cast<int>((h + 2) * back));
    (*grey)(box & cv::Rect(0, 0, grey->cols, grey->rows)).setTo(paper);
    ++painted;
  }
  return painted;
}

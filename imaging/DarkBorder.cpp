#include "imaging/DarkBorder.h"

#include <vector>

namespace {

constexpr uchar kDarkBelow = 125;
constexpr int kBand = 50;

bool Dark(const cv::Mat& mask, int x, int y) { return mask.at<uchar>(y, x) < kDarkBelow; }

}  // namespace

void FloodFillDarkFromSeed(cv::Mat& mask, cv::Point seed) {
  if (mask.empty() || mask.type() != CV_8UC1 || !cv::Rect(0, 0, mask.cols, mask.rows).contains(seed)) return;
  const int cols = mask.cols, rows = mask.rows;
  std::vector<cv::Point> stack{seed};
  mask.at<uchar>(seed) = 255;
  while (!stack.empty()) {
    const cv::Point p = stack.back();
    stack.pop_back();
    for (int nx = p.x - 1; nx <= p.x + 1; ++nx) {
      for (int ny = p.y - 1; ny <= p.y + 1; ++ny) {
        if (nx < 0 || nx >= cols || ny < 0 || ny >= rows) continue;
        if (nx > kBand && nx < cols - kBand && ny > kBand && ny < rows - kBand) break;  // inner part: next column
        if (Dark(mask, nx, ny)) {
          mask.at<uchar>(ny, nx) = 255;
          stack.emplace_back(nx, ny);
        }
      }
    }
  }
}

bool FillDarkBorder(cv::Mat& mask) {
  if (mask.empty() || mask.type() != CV_8UC1) return false;
  const int cols = mask.cols, rows = mask.rows;
  auto visit = [&](int x, int y) {
    if (Dark(mask, x, y)) FloodFillDarkFromSeed(mask, {x, y});
  };
  for (int x = 0; x < cols; ++x) visit(x, 0);
  for (int x = 0; x < cols; ++x) visit(x, rows - 1);
  for (int y = 0; y < rows; ++y) visit(0, y);
  for (int y = 0; y < rows; ++y) visit(cols - 1, y);
  return true;
}

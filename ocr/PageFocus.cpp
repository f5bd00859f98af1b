#include "ocr/PageFocus.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace {

// Only the strongest edges are measured: 2 % of the pixels, with at least
// this much contrast around them.
constexpr double kEdgeShare = 0.02;
constexpr int kMinimumContrast = 40;
constexpr int kContrastWindow = 7;
// Square tiles, one in every three along each side.
constexpr int kTile = 96;
constexpr int kTileStep = 3 * kTile;

constexpr double kNoiseAfterSmoothing = 2.0;
constexpr double kMinimumSmoothing = 0.3;
constexpr double kUnsharpSigma = 1.5;
constexpr double kUnsharpAmount = 4.0;

double Median(std::vector<float>& values) {
  if (values.empty()) return 0.0;
  auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

}  // namespace

PageFocus MeasurePageFocus(const cv::Mat& grey) {
  PageFocus focus;
  if (grey.empty() || grey.type() != CV_8UC1 || grey.rows < 3 || grey.cols < 3) return focus;

  // Tiles spread over the page tell as much as the whole page, at a ninth of
  // the cost. Filters on a tile read the page around it.
  std::vector<float> gradients, ratios, differences;
  std::vector<cv::Mat> tileGradients, tileContrasts;
  const cv::Mat window = cv::Mat::ones(kContrastWindow, kContrastWindow, CV_8U);
  const cv::Mat kernel = (cv::Mat_<float>(3, 3) << 1, -2, 1, -2, 4, -2, 1, -2, 1);
  for (int y = 0; y < grey.rows; y += kTileStep)
    for (int x = 0; x < grey.cols; x += kTileStep) {
      const cv::Mat tile = grey(cv::Rect(x, y, std::min(kTile, grey.cols - x), std::min(kTile, grey.rows - y)));
      // Sobel scaled to grey levels per pixel.
      cv::Mat dx, dy, gradient, brightest, darkest, second;
      cv::Sobel(tile, dx, CV_32F, 1, 0, 3, 0.125);
      cv::Sobel(tile, dy, CV_32F, 0, 1, 3, 0.125);
      cv::magnitude(dx, dy, gradient);
      cv::dilate(tile, brightest, window);
      cv::erode(tile, darkest, window);
      tileGradients.push_back(gradient);
      tileContrasts.push_back(brightest - darkest);
      gradients.insert(gradients.end(), gradient.begin<float>(), gradient.end<float>());
      // The noise from the second differences, whose median ignores the ink edges.
      cv::filter2D(tile, second, CV_32F, kernel);
      for (auto it = second.begin<float>(); it != second.end<float>(); ++it) differences.push_back(std::fabs(*it));
    }
  auto edgeRank = gradients.begin() + static_cast<std::ptrdiff_t>((1.0 - kEdgeShare) * (gradients.size() - 1));
  std::nth_element(gradients.begin(), edgeRank, gradients.end());
  const float strong = std::max(*edgeRank, 1.0f);
  for (size_t t = 0; t < tileGradients.size(); ++t) {
    auto contrast = tileContrasts[t].begin<uint8_t>();
    for (auto it = tileGradients[t].begin<float>(); it != tileGradients[t].end<float>(); ++it, ++contrast)
      if (*it >= strong && *contrast > kMinimumContrast) ratios.push_back(*it / static_cast<float>(*contrast));
  }
  focus.edgeSharpness = Median(ratios);
  // The kernel's L2 norm is 6; the median of |N(0, s)| is 0.6745 s.
  focus.noise = Median(differences) / (0.6745 * 6.0);
  return focus;
}

bool SharpenSoftPage(const cv::Mat& grey, cv::Mat* sharpened) {
  const PageFocus focus = MeasurePageFocus(grey);
  if (focus.edgeSharpness <= 0.0 || focus.edgeSharpness >= kSoftEdgeSharpness) return false;
  cv::Mat source = grey;
  // A Gaussian of sigma s leaves white noise at noise / (2 sqrt(pi) s).
  const double smoothing = focus.noise / (2.0 * std::sqrt(CV_PI) * kNoiseAfterSmoothing);
  if (smoothing >= kMinimumSmoothing) cv::GaussianBlur(grey, source, cv::Size(), smoothing);
  cv::Mat soft;
  cv::GaussianBlur(source, soft, cv::Size(), kUnsharpSigma);
  cv::addWeighted(source, 1.0 + kUnsharpAmount, soft, -kUnsharpAmount, 0.0, *sharpened);
  return true;
}

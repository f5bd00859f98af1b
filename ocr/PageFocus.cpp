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

// Appends f of every value of a float image, row by row.
template <typename F>
void AppendRows(const cv::Mat& image, F f, std::vector<float>* values) {
  for (int y = 0; y < image.rows; ++y) {
    const float* row = image.ptr<float>(y);
    for (int x = 0; x < image.cols; ++x) values->push_back(f(row[x]));
  }
}

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
  const size_t tiles =
      static_cast<size_t>((grey.rows + kTileStep - 1) / kTileStep) * ((grey.cols + kTileStep - 1) / kTileStep);
  gradients.reserve(tiles * kTile * kTile);
  differences.reserve(tiles * kTile * kTile);
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
      AppendRows(gradient, [](float v) { return v; }, &gradients);
      // The noise from the second differences, whose median ignores the ink edges.
      cv::filter2D(tile, second, CV_32F, kernel);
      AppendRows(second, [](float v) { return std::fabs(v); }, &differences);
    }
  auto edgeRank = gradients.begin() + static_cast<std::ptrdiff_t>((1.0 - kEdgeShare) * (gradients.size() - 1));
  std::nth_element(gradients.begin(), edgeRank, gradients.end());
  const float strong = std::max(*edgeRank, 1.0f);
  for (size_t t = 0; t < tileGradients.size(); ++t)
    for (int y = 0; y < tileGradients[t].rows; ++y) {
      const float* gradient = tileGradients[t].ptr<float>(y);
      const uint8_t* contrast = tileContrasts[t].ptr<uint8_t>(y);
      for (int x = 0; x < tileGradients[t].cols; ++x)
        if (gradient[x] >= strong && contrast[x] > kMinimumContrast)
          ratios.push_back(gradient[x] / static_cast<float>(contrast[x]));
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

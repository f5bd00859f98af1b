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
// Every second row and column is enough for the statistics.
constexpr int kStep = 2;

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

  // Sobel scaled to grey levels per pixel.
  cv::Mat dx, dy, gradient;
  cv::Sobel(grey, dx, CV_32F, 1, 0, 3, 0.125);
  cv::Sobel(grey, dy, CV_32F, 0, 1, 3, 0.125);
  cv::magnitude(dx, dy, gradient);
  const cv::Mat window = cv::Mat::ones(kContrastWindow, kContrastWindow, CV_8U);
  cv::Mat brightest, darkest;
  cv::dilate(grey, brightest, window);
  cv::erode(grey, darkest, window);

  std::vector<float> sampled;
  for (int y = 0; y < gradient.rows; y += kStep) {
    const float* row = gradient.ptr<float>(y);
    for (int x = 0; x < gradient.cols; x += kStep) sampled.push_back(row[x]);
  }
  auto edgeRank = sampled.begin() + static_cast<std::ptrdiff_t>((1.0 - kEdgeShare) * (sampled.size() - 1));
  std::nth_element(sampled.begin(), edgeRank, sampled.end());
  const float strong = std::max(*edgeRank, 1.0f);
  std::vector<float> ratios;
  for (int y = 0; y < gradient.rows; y += kStep) {
    const float* row = gradient.ptr<float>(y);
    const uint8_t* high = brightest.ptr<uint8_t>(y);
    const uint8_t* low = darkest.ptr<uint8_t>(y);
    for (int x = 0; x < gradient.cols; x += kStep) {
      const int contrast = high[x] - low[x];
      if (row[x] >= strong && contrast > kMinimumContrast) ratios.push_back(row[x] / static_cast<float>(contrast));
    }
  }
  focus.edgeSharpness = Median(ratios);

  // The noise from the second differences, whose median ignores the ink edges.
  const cv::Mat kernel = (cv::Mat_<float>(3, 3) << 1, -2, 1, -2, 4, -2, 1, -2, 1);
  cv::Mat differences;
  cv::filter2D(grey, differences, CV_32F, kernel);
  std::vector<float> magnitudes;
  for (int y = 1; y + 1 < differences.rows; y += kStep) {
    const float* row = differences.ptr<float>(y);
    for (int x = 1; x + 1 < differences.cols; x += kStep) magnitudes.push_back(std::fabs(row[x]));
  }
  // The kernel's L2 norm is 6; the median of |N(0, s)| is 0.6745 s.
  focus.noise = Median(magnitudes) / (0.6745 * 6.0);
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

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
// Steps up to this many grey levels are the paper's.
constexpr int kSmallStep = 12;
// Square tiles, one in every three along each side.
constexpr int kTile = 96;
constexpr int kTileStep = 3 * kTile;

// The paper's spread is measured over windows this wide, and read where
// this share of them is lower.
constexpr int kSpreadWindow = 5;
constexpr double kPaperShare = 0.25;

constexpr double kNoiseAfterSmoothing = 2.0;
// A page whose steps across the 8 x 8 grid are this many times those inside
// it was compressed hard; it is smoothed at least this much (its own pixels).
constexpr double kBlockyPage = 1.15;
constexpr double kDeblocking = 0.7;
// The paper spreads wider than its single pixels' noise tells (white noise
// spreads about 0.9 of it): it has grain, taken out by a median this wide.
// Grain of a few grey levels is left alone.
constexpr double kGrainShare = 1.5;
constexpr double kLeastGrain = 3.0;
constexpr int kGrainMedian = 3;
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
  // the cost. Filters on a tile read the page around it. Tiles start on the
  // 8 x 8 grid of a compressed page.
  std::vector<float> gradients, ratios, differences, spreads;
  std::vector<cv::Mat> tileGradients, tileContrasts;
  const cv::Mat window = cv::Mat::ones(kContrastWindow, kContrastWindow, CV_8U);
  const cv::Mat kernel = (cv::Mat_<float>(3, 3) << 1, -2, 1, -2, 4, -2, 1, -2, 1);
  const size_t tiles =
      static_cast<size_t>((grey.rows + kTileStep - 1) / kTileStep) * ((grey.cols + kTileStep - 1) / kTileStep);
  gradients.reserve(tiles * kTile * kTile);
  differences.reserve(tiles * kTile * kTile);
  spreads.reserve(tiles * kTile * kTile);
  double gridSteps = 0.0, innerSteps = 0.0;
  long gridCount = 0, innerCount = 0;
  for (int y = 0; y < grey.rows; y += kTileStep)
    for (int x = 0; x < grey.cols; x += kTileStep) {
      const cv::Mat tile = grey(cv::Rect(x, y, std::min(kTile, grey.cols - x), std::min(kTile, grey.rows - y)));
      // Sobel scaled to grey levels per pixel.
      cv::Mat dx, dy, gradient, brightest, darkest, second, mean, square, floatTile;
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
      // The spread of small windows: the paper's are the lowest.
      tile.convertTo(floatTile, CV_32F);
      cv::blur(floatTile, mean, cv::Size(kSpreadWindow, kSpreadWindow));
      cv::blur(floatTile.mul(floatTile), square, cv::Size(kSpreadWindow, kSpreadWindow));
      square -= mean.mul(mean);
      AppendRows(square, [](float v) { return std::sqrt(std::max(v, 0.0f)); }, &spreads);
      // Small steps between neighbours (the paper's, not the print's edges),
      // on the 8 x 8 grid and inside its blocks.
      auto addStep = [&](int step, bool onGrid) {
        if (step > kSmallStep) return;
        (onGrid ? gridSteps : innerSteps) += step;
        ++(onGrid ? gridCount : innerCount);
      };
      for (int r = 0; r < tile.rows; ++r) {
        const uint8_t* row = tile.ptr<uint8_t>(r);
        const uint8_t* below = r + 1 < tile.rows ? tile.ptr<uint8_t>(r + 1) : nullptr;
        for (int c = 0; c + 1 < tile.cols; ++c) {
          addStep(std::abs(row[c + 1] - row[c]), (c + 1) % 8 == 0);
          if (below) addStep(std::abs(below[c] - row[c]), (r + 1) % 8 == 0);
        }
      }
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
  if (!spreads.empty()) {
    auto rank = spreads.begin() + static_cast<std::ptrdiff_t>(kPaperShare * (spreads.size() - 1));
    std::nth_element(spreads.begin(), rank, spreads.end());
    focus.paperNoise = *rank;
  }
  // A tenth of a grey level keeps flat paper's ratio near 1.
  if (gridCount > 0 && innerCount > 0)
    focus.blockiness = (gridSteps / static_cast<double>(gridCount) + 0.1) /
                       (innerSteps / static_cast<double>(innerCount) + 0.1);
  return focus;
}

bool HasGrain(const PageFocus& focus) { return focus.paperNoise > std::max(kGrainShare * focus.noise, kLeastGrain); }

bool SharpenSoftPage(const cv::Mat& grey, const PageFocus& focus, double scale, cv::Mat* sharpened) {
  if (focus.edgeSharpness <= 0.0 || focus.edgeSharpness >= kSoftEdgeSharpness || scale <= 0.0) return false;
  cv::Mat source = grey;
  // A Gaussian of sigma s leaves white noise at noise / (2 sqrt(pi) s). The
  // page was measured before it was scaled: shrunk, its pixels average the
  // noise of several; enlarged, each pixel's noise is spread over several.
  // Either way that much less is left to smooth.
  const double resampling = std::max(scale, 1.0 / scale);
  double smoothing = focus.noise / (resampling * 2.0 * std::sqrt(CV_PI) * kNoiseAfterSmoothing);
  // The steps of a page compressed into 8 x 8 blocks are smoothed away:
  // sharpened, they read as ink.
  if (focus.blockiness > kBlockyPage) smoothing = std::max(smoothing, kDeblocking * scale);
  if (smoothing >= kMinimumSmoothing) cv::GaussianBlur(grey, source, cv::Size(), smoothing);
  // Grain wider than a pixel (a dim frame's noise, resampled and compressed)
  // is left by the Gaussian and would be sharpened into specks that join the
  // lines: a median of the page's own pixels takes it out first.
  if (HasGrain(focus)) {
    cv::Mat filtered;
    cv::medianBlur(source, filtered, std::max(kGrainMedian, 2 * static_cast<int>(kGrainMedian * scale / 2) + 1));
    source = filtered;
  }
  cv::Mat soft;
  cv::GaussianBlur(source, soft, cv::Size(), kUnsharpSigma);
  cv::addWeighted(source, 1.0 + kUnsharpAmount, soft, -kUnsharpAmount, 0.0, *sharpened);
  return true;
}

bool SharpenSoftPage(const cv::Mat& grey, cv::Mat* sharpened) {
  return SharpenSoftPage(grey, MeasurePageFocus(grey), 1.0, sharpened);
}

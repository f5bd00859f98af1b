#include "imaging/ImageEnhancement.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "imaging/EnhancementHelpers.h"

namespace {

using namespace vq::enhance;

bool NormalizeBrightnessChecked(const cv::Mat& source, cv::Mat& destination, int target) {
  const cv::Mat small = ScaledBy(GreyOf(source, cv::COLOR_BGR2GRAY), 0.2);
  cv::Mat bright;
  cv::threshold(small, bright, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
  cv::Scalar mean, deviation;
  if (cv::countNonZero(bright) > 0) cv::meanStdDev(small, mean, deviation, bright);
  const double level = mean[0] + deviation[0];
  // Nothing above the Otsu level (a black page): no brightness to scale by.
  if (mean[0] > target || level <= 0.0) {
    destination = source.clone();
  } else {
    source.convertTo(destination, -1, target / level);
  }
  return true;
}

// The overlay in the destination's channel count, or empty when that cannot be done.
cv::Mat MatchChannels(const cv::Mat& overlay, int channels) {
  if (overlay.channels() == channels) return overlay;
  cv::Mat matched;
  if (overlay.channels() == 3 && channels == 1) {
    cv::cvtColor(overlay, matched, cv::COLOR_BGR2GRAY);
  } else if (overlay.channels() == 1 && channels == 3) {
    cv::merge(std::vector<cv::Mat>{overlay, overlay, overlay}, matched);
  }
  return matched;
}

bool BlendArgumentsValid(const cv::Mat& destination, const cv::Mat& overlay, const cv::Mat& mask) {
  if (destination.empty() || overlay.empty()) return false;
  if (destination.depth() != CV_8U || overlay.depth() != CV_8U) return false;
  return mask.empty() || (mask.type() == CV_8UC1 && mask.size() == overlay.size());
}

}  // namespace

bool CImageProcess::NormalizeBrightness(const cv::Mat& source, cv::Mat& destination, int target) {
  if (!IsGreyOrColour(source)) return false;
  return cvcompat::Guarded(false, [&] { return NormalizeBrightnessChecked(source, destination, target); });
}

bool CImageProcess::BlendAt(cv::Mat& destination, cv::Mat overlay, int x, int y, int opacity, cv::Mat mask) {
  if (!BlendArgumentsValid(destination, overlay, mask)) return false;
  const int channels = destination.channels();
  const cv::Mat matched = MatchChannels(overlay, channels);
  if (matched.empty()) return false;
  opacity = std::clamp(opacity, 0, 100);
  // Overlay rows and columns that land inside the destination (wide arithmetic: any offset is safe).
  const auto clip = [](long long from, long long to) { return static_cast<int>(std::clamp(from, 0LL, to)); };
  const int rowFrom = clip(-static_cast<long long>(y), matched.rows);
  const int rowTo = clip(static_cast<long long>(destination.rows) - y, matched.rows);
  const int colFrom = clip(-static_cast<long long>(x), matched.cols);
  const int colTo = clip(static_cast<long long>(destination.cols) - x, matched.cols);
  for (int i = rowFrom; i < rowTo; ++i) {
    const unsigned char* over = matched.ptr<unsigned char>(i);
    const unsigned char* keep = mask.empty() ? nullptr : mask.ptr<unsigned char>(i);
    unsigned char* dest = destination.ptr<unsigned char>(y + i);
    for (int j = colFrom; j < colTo; ++j) {
      if (keep != nullptr && keep[j] == 0) continue;
      for (int c = 0; c < channels; ++c) {
        const int o = over[j * channels + c];
        unsigned char& d = dest[(x + j) * channels + c];
        d = static_cast<unsigned char>((o * opacity + d * (100 - opacity)) / 100);
      }
    }
  }
  return true;
}

bool CImageProcess::BlendAtCorner(cv::Mat& destination, int position, cv::Mat overlay, int opacity, cv::Mat mask) {
  if (!BlendArgumentsValid(destination, overlay, mask)) return false;
  const int right = destination.cols - overlay.cols, bottom = destination.rows - overlay.rows;
  int x = 0, y = 0;
  switch (position) {
    case BLEND_TOP_LEFT: break;
    case BLEND_TOP_RIGHT: x = right; break;
    case BLEND_BOTTOM_LEFT: y = bottom; break;
    case BLEND_BOTTOM_RIGHT: x = right; y = bottom; break;
    case BLEND_CENTER: x = right / 2; y = bottom / 2; break;
    default: return false;
  }
  return BlendAt(destination, std::move(overlay), x, y, opacity, std::move(mask));
}

cv::Mat BinarizeDocument(int morphSize, cv::Mat image, int blurSize, double weight) {
  if (image.empty() || image.depth() != CV_8U) return cv::Mat();
  return cvcompat::Guarded(cv::Mat(), [&] {
    const cv::Mat input = GreyOf(image, image.channels() == 4 ? cv::COLOR_BGRA2GRAY : cv::COLOR_BGR2GRAY);
    // Background estimate at a tenth of the size, and how far ink lies below it.
    const cv::Mat small = ScaledBy(input, 0.1);
    cv::Mat smallBackground, difference, unused;
    cv::medianBlur(small, smallBackground, std::max(0, blurSize / 20) * 2 + 1);
    cv::absdiff(small, smallBackground, difference);
    const int inkDepth = static_cast<int>(cv::threshold(difference, unused, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU));
    cv::Mat backgroundLimit, byBackground;
    cv::subtract(ScaledTo(smallBackground, input.size()), cv::Scalar(inkDepth), backgroundLimit);
    cv::compare(input, backgroundLimit, byBackground, cv::CMP_GT);
    // Local range around strokes and the local threshold inside it.
    cv::Mat smooth, highest, lowest, range, contrasty;
    cv::GaussianBlur(input, smooth, cv::Size(5, 5), 0);
    const int side = std::max(1, morphSize);
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(side, side));
    cv::dilate(smooth, highest, kernel);
    cv::erode(smooth, lowest, kernel);
    cv::addWeighted(highest, 1.0, lowest, -1.0, 0.0, range);
    cv::threshold(range, contrasty, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    cv::Mat weightedRange, localLimit, byLocal;
    range.convertTo(weightedRange, CV_8U, weight);
    cv::subtract(highest, weightedRange, localLimit);
    cv::compare(input, localLimit, byLocal, cv::CMP_GT);
    cv::Mat result = (contrasty & byLocal) | (byBackground & ~contrasty);
    return result;
  });
}

void AdaptiveBinarize(const cv::Mat& source, int blockSize, int C, cv::Mat& destination) {
  if (source.empty() || source.depth() != CV_8U || blockSize < 3 || blockSize % 2 == 0 ||
      (source.channels() != 1 && source.channels() != 3)) {
    destination.release();
    return;
  }
  const bool done = cvcompat::Guarded(false, [&] {
    cv::adaptiveThreshold(GreyOf(source, cv::COLOR_RGB2GRAY), destination, 255, cv::ADAPTIVE_THRESH_GAUSSIAN_C,
                          cv::THRESH_BINARY, blockSize, C);
    return true;
  });
  if (!done) destination.release();
}

bool RemoveSmallSpots(cv::Mat& image, int maxPixels) {
  if (image.type() != CV_8UC1) return false;
  if (maxPixels < 1) return true;
  cv::Mat visited = cv::Mat::zeros(image.size(), CV_8UC1);
  std::vector<cv::Point> stack, component;
  for (int row = 0; row < image.rows; ++row) {
    for (int col = 0; col < image.cols; ++col) {
      if (!vq::IsDark(image.at<unsigned char>(row, col)) || visited.at<unsigned char>(row, col) != 0) continue;
      component.clear();
      visited.at<unsigned char>(row, col) = 255;
      stack.push_back({col, row});
      component.push_back({col, row});
      while (!stack.empty()) {
        const cv::Point p = stack.back();
        stack.pop_back();
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const cv::Point n(p.x + dx, p.y + dy);
            if ((dx == 0 && dy == 0) || n.x < 0 || n.y < 0 || n.x >= image.cols || n.y >= image.rows) continue;
            if (!vq::IsDark(image.at<unsigned char>(n)) || visited.at<unsigned char>(n) != 0) continue;
            visited.at<unsigned char>(n) = 255;
            stack.push_back(n);
            component.push_back(n);
          }
        }
      }
      if (static_cast<int>(component.size()) < maxPixels) {
        for (const cv::Point& p : component) image.at<unsigned char>(p) = 255;
      }
    }
  }
  return true;
}

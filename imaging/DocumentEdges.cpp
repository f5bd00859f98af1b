#include "imaging/DocumentEdges.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace {

struct BorderContact {
  bool top, bottom, left, right;
};

BorderContact Contact(const cv::Rect& box, int rows, int cols) {
  return {box.y <= 1, box.y + box.height >= rows - 1, box.x <= 1, box.x + box.width >= cols - 1};
}

// Exactly two adjacent borders touched.
bool InOneCorner(const BorderContact& c) {
  return (c.top && c.left && !c.bottom && !c.right) || (c.top && c.right && !c.bottom && !c.left) ||
         (c.bottom && c.right && !c.top && !c.left) || (c.bottom && c.left && !c.top && !c.right);
}

bool IsThin(const cv::Size2f& size) {
  return size.width < 0.125f * size.height || size.height < 0.125f * size.width;
}

// cv::medianBlur of every channel in place, the work spread over the thread
// pool in bands of rows. Each band is filtered with `radius` rows of its
// neighbours around it, so the result equals one call on the whole image.
// False when a band failed; nothing is thrown out of the worker threads.
bool MedianBlurChannels(std::vector<cv::Mat>& channels, int kernel) {
  if (channels.empty()) return true;
  const int rows = channels[0].rows;
  const int radius = kernel / 2;
  const int bands = std::clamp(rows / std::max(4 * kernel, 32), 1, 8);
  const int bandRows = (rows + bands - 1) / bands;
  std::vector<cv::Mat> results(channels.size());
  for (size_t c = 0; c < channels.size(); ++c) results[c].create(channels[c].size(), channels[c].type());
  std::atomic<bool> failed{false};
  cv::parallel_for_(cv::Range(0, int(channels.size()) * bands), [&](const cv::Range& range) {
    for (int job = range.start; job < range.end; ++job) {
      const int c = job / bands;
      const int y0 = (job % bands) * bandRows, y1 = std::min(rows, y0 + bandRows);
      if (y0 >= y1) continue;
      const int from = std::max(0, y0 - radius), to = std::min(rows, y1 + radius);
      try {
        cv::Mat filtered;
        cv::medianBlur(channels[c].rowRange(from, to), filtered, kernel);
        filtered.rowRange(y0 - from, y1 - from).copyTo(results[c].rowRange(y0, y1));
      } catch (const std::exception&) {
        failed = true;
      }
    }
  });
  channels.swap(results);
  return !failed;
}

bool ValidKernels(int medianKernel, int sobelKernel) {
  const bool medianOk = medianKernel >= 1 && medianKernel % 2 == 1;
  const bool sobelOk = sobelKernel == 1 || sobelKernel == 3 || sobelKernel == 5 || sobelKernel == 7;
  return medianOk && sobelOk;
}

}  // namespace

double EdgeThreshold(double mean, double stdDev, double thresholdFactor) {
  return mean + thresholdFactor * std::sqrt(stdDev);
}

cv::Mat MakeEdgeMask(const cv::Mat& working, int medianKernel, int sobelKernel, double thresholdFactor) {
  if (working.empty() || working.depth() != CV_8U || !ValidKernels(medianKernel, sobelKernel)) return cv::Mat();
  std::vector<cv::Mat> channels;
  cv::split(working, channels);
  cv::Mat energy = cv::Mat::zeros(working.size(), CV_32F);
  cv::Mat dx, dy;
  if (!MedianBlurChannels(channels, medianKernel)) return cv::Mat();
  for (const auto& channel : channels) {
    cv::Sobel(channel, dx, CV_32F, 1, 0, sobelKernel);
    cv::Sobel(channel, dy, CV_32F, 0, 1, sobelKernel);
    energy += cv::abs(dx);
    energy += cv::abs(dy);
  }
  cv::Scalar mean, stdDev;
  cv::meanStdDev(energy, mean, stdDev);
  cv::Mat mask;
  cv::threshold(energy, mask, EdgeThreshold(mean[0], stdDev[0], thresholdFactor), 255, cv::THRESH_BINARY);
  mask.convertTo(mask, CV_8U);
  cv::dilate(mask, mask, cv::Mat());
  cv::erode(mask, mask, cv::Mat());
  return mask;
}

EdgeRegions ClassifyEdgeRegions(const cv::Mat& mask, float minAreaRatio) {
  EdgeRegions regions;
  const int rows = mask.rows, cols = mask.cols;
  const double minArea = double(rows) * minAreaRatio * cols;
  for (auto& contour : cvcompat::FindOuterContours(mask)) {
    const cv::Rect box = cv::boundingRect(contour);
    const cv::Size2f size = cvcompat::MinAreaRect(contour).size;
    const BorderContact touch = Contact(box, rows, cols);
    const bool thin = IsThin(size);
    if (touch.top && touch.bottom && thin) {
      regions.verticalSpans.push_back(std::move(contour));
    } else if (touch.left && touch.right && thin) {
      regions.horizontalSpans.push_back(std::move(contour));
    } else if (InOneCorner(touch) && thin) {
      regions.thinCorners.push_back(std::move(contour));
    } else if (InOneCorner(touch) && box.width * box.height > rows * cols / 3) {
      regions.largeCorners.push_back(std::move(contour));
    } else if (size.width * size.height > minArea) {
      regions.candidates.push_back(std::move(contour));
    }
  }
  return regions;
}

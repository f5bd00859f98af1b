#pragma once
// Small steps shared by the enhancement operations.
#include <algorithm>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"

namespace vq::enhance {

inline bool IsGreyOrColour(const cv::Mat& image) {
  return !image.empty() && image.depth() == CV_8U && (image.channels() == 1 || image.channels() == 3);
}

// Bilinear scaling by a factor on the factor's own grid; an image too small
// for that shrinks to one pixel per side instead.
inline cv::Mat ScaledBy(const cv::Mat& image, double factor) {
  cv::Mat scaled = cvcompat::ResizeByFactor(image, factor);
  if (scaled.empty() && !image.empty())
    cv::resize(image, scaled, cv::Size(std::max(1, cvRound(image.cols * factor)), std::max(1, cvRound(image.rows * factor))),
               0, 0, cv::INTER_LINEAR);
  return scaled;
}

inline cv::Mat ScaledTo(const cv::Mat& image, cv::Size size) {
  cv::Mat scaled;
  cv::resize(image, scaled, size, 0, 0, cv::INTER_LINEAR);
  return scaled;
}

inline cv::Mat GreyOf(const cv::Mat& image, cv::ColorConversionCodes code) {
  if (image.channels() == 1) return image;
  cv::Mat grey;
  cv::cvtColor(image, grey, code);
  return grey;
}

}  // namespace vq::enhance

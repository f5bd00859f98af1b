#pragma once
// Two pages joined into one on a white ground: side by side (top-aligned)
// or one above the other (left-aligned). Both pages must be 8-bit with
// three channels; otherwise the result is empty.
#include <opencv2/core.hpp>

namespace strenvik {

void JoinImagesSideBySide(cv::Mat* out, const cv::Mat& first, const cv::Mat& second);
void StackImagesVertically(cv::Mat* out, const cv::Mat& first, const cv::Mat& second);

}  // namespace strenvik

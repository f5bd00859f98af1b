#include "twain/PageJoin.h"

#include <algorithm>

namespace strenvik {
namespace {

bool Joinable(const cv::Mat& page) { return !page.empty() && page.type() == CV_8UC3; }

// A white canvas of `size` with `first` at the origin and `second` at `at`.
void Compose(cv::Mat* out, const cv::Mat& first, const cv::Mat& second, cv::Size size, cv::Point at) {
  if (!Joinable(first) || !Joinable(second)) {
    *out = cv::Mat();
    return;
  }
  cv::Mat canvas(size, CV_8UC3, cv::Scalar(255, 255, 255));
  first.copyTo(canvas(cv::Rect(cv::Point(0, 0), first.size())));
  second.copyTo(canvas(cv::Rect(at, second.size())));
  *out = canvas;
}

}  // namespace

void JoinImagesSideBySide(cv::Mat* out, const cv::Mat& first, const cv::Mat& second) {
  Compose(out, first, second, cv::Size(first.cols + second.cols, std::max(first.rows, second.rows)),
          cv::Point(first.cols, 0));
}

void StackImagesVertically(cv::Mat* out, const cv::Mat& first, const cv::Mat& second) {
  Compose(out, first, second, cv::Size(std::max(first.cols, second.cols), first.rows + second.rows),
          cv::Point(0, first.rows));
}

}  // namespace strenvik

#include "imaging/ChangeDetection.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "imaging/DocumentDetection.h"

namespace {

constexpr float kDetectionScale = 0.2f;
constexpr float kDetectionMinAreaRatio = 0.03f;

bool GreyOrColour(const cv::Mat& image) {
  return !image.empty() && image.depth() == CV_8U && (image.channels() == 1 || image.channels() == 3);
}

}  // namespace

bool IsSameScene(const cv::Mat& previous, const cv::Mat& current, float maxChangedAreaRatio, int diffThreshold) {
  if (previous.empty() || current.empty() || previous.channels() != current.channels() ||
      previous.rows != current.rows || previous.cols != current.cols || previous.depth() != current.depth())
    return false;
  return cvcompat::Guarded(false, [&] {
    cv::Mat changed = cv::Mat::zeros(previous.size(), CV_8U);
    cv::Mat a, b, difference;
    for (int c = 0; c < previous.channels(); ++c) {
      cv::extractChannel(previous, a, c);
      cv::extractChannel(current, b, c);
      a.convertTo(a, CV_32F);
      b.convertTo(b, CV_32F);
      cv::absdiff(a, b, difference);
      cv::threshold(difference, difference, diffThreshold, 255, cv::THRESH_BINARY);
      changed.setTo(cv::Scalar(255), difference > 0);
    }
    // Regions are measured as OpenCV 2.4 found them, ignoring the outermost pixel frame.
    double area = 0;
    for (const auto& contour : cvcompat::FindOuterContours(changed)) area += cv::contourArea(contour);
    return area <= double(previous.rows) * maxChangedAreaRatio * previous.cols;
  });
}

bool HasDocument(cv::Mat image, double minAreaRatio, double thresholdFactor, int medianKernel, int sobelKernel) {
  cv::RotatedRect rect;
  if (!FindDocumentRect(&rect, medianKernel, sobelKernel, kDetectionScale, kDetectionMinAreaRatio, image,
                        thresholdFactor))
    return false;
  return double(rect.size.width) * rect.size.height / (double(image.rows) * image.cols) > minAreaRatio;
}

int EstimatePaperBrightness(const cv::Mat& image) {
  if (!GreyOrColour(image)) return -1;
  return cvcompat::Guarded(-1, [&] {
    cv::Mat grey;
    if (image.channels() > 1) {
      cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    } else {
      grey = image;
    }
    cv::Mat bright;
    cv::threshold(grey, bright, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    std::vector<uchar> values;
    for (int y = 0; y < grey.rows; ++y) {
      const uchar* g = grey.ptr<uchar>(y);
      const uchar* m = bright.ptr<uchar>(y);
      for (int x = 0; x < grey.cols; ++x)
        if (m[x]) values.push_back(g[x]);
    }
    if (values.empty()) {
      double lo, hi;
      cv::minMaxLoc(grey, &lo, &hi);
      return int(hi);
    }
    std::sort(values.begin(), values.end());
    return int(values[size_t(double(values.size()) / 5.0)]);
  });
}

SheetVerdict JudgeSheet(const cv::Mat& older, const cv::Mat& old, const cv::Mat& frame, float maxChangedAreaRatio) {
  constexpr int kDiffThreshold = 50;
  const bool document = HasDocument(frame, 0.04, 8.0, 9, 3);
  const bool sameAsOlder = IsSameScene(older, frame, maxChangedAreaRatio, kDiffThreshold);
  const bool sameAsOld = IsSameScene(old, frame, maxChangedAreaRatio, kDiffThreshold);
  if (document && !sameAsOlder && sameAsOld) return SheetVerdict::NewSheet;
  if (!document) return SheetVerdict::NoSheet;
  if (sameAsOlder && sameAsOld) return SheetVerdict::SameSheet;
  return SheetVerdict::Changing;
}

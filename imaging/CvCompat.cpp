#include "imaging/CvCompat.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

namespace cvcompat {

cv::RotatedRect LegacyAngle(cv::RotatedRect rect) {
  if (!std::isfinite(rect.angle)) return rect;
  float angle = std::fmod(rect.angle, 180.0f);  // a half turn maps a rectangle onto itself
  if (angle >= 0.0f) angle -= 180.0f;           // now in [-180, 0)
  if (angle < -90.0f) {
    angle += 90.0f;
    std::swap(rect.size.width, rect.size.height);
  }
  rect.angle = angle;
  return rect;
}

cv::RotatedRect MinAreaRect(const Contour& points) {
  return LegacyAngle(cv::minAreaRect(points));
}

ContourList FindContours(const cv::Mat& mask, int mode) {
  ContourList contours;
  if (mask.empty()) return contours;
  cv::Mat work = mask.clone();
  cv::rectangle(work, cv::Rect(0, 0, work.cols, work.rows), cv::Scalar::all(0), 1);
  cv::findContours(work, contours, mode, cv::CHAIN_APPROX_SIMPLE);
  return contours;
}

ContourList FindOuterContours(const cv::Mat& mask) { return FindContours(mask, cv::RETR_EXTERNAL); }

ContourList FindContourList(const cv::Mat& mask) { return FindContours(mask, cv::RETR_LIST); }

cv::Mat EstimateAffine(const std::vector<cv::Point2f>& from, const std::vector<cv::Point2f>& to) {
  const int n = static_cast<int>(from.size());
  if (n < 3 || from.size() != to.size()) return cv::Mat();
  // Two equations per pair in the six unknowns a b c d e f:
  // x' = a x + b y + c, y' = d x + e y + f.
  cv::Mat a = cv::Mat::zeros(2 * n, 6, CV_64F);
  cv::Mat b(2 * n, 1, CV_64F);
  for (int i = 0; i < n; ++i) {
    const double x = from[i].x, y = from[i].y;
    double* rx = a.ptr<double>(2 * i);
    double* ry = a.ptr<double>(2 * i + 1);
    rx[0] = x; rx[1] = y; rx[2] = 1.0;
    ry[3] = x; ry[4] = y; ry[5] = 1.0;
    b.at<double>(2 * i) = to[i].x;
    b.at<double>(2 * i + 1) = to[i].y;
  }
  // Collinear sources leave the 3 x 3 system [x y 1] singular.
  cv::Mat rows3(n, 3, CV_64F);
  for (int i = 0; i < n; ++i) {
    rows3.at<double>(i, 0) = from[i].x;
    rows3.at<double>(i, 1) = from[i].y;
    rows3.at<double>(i, 2) = 1.0;
  }
  cv::Mat singular;
  cv::SVD::compute(rows3, singular);
  const double largest = singular.at<double>(0);
  const double smallest = singular.at<double>(singular.rows - 1);
  if (!(largest > 0.0) || smallest < largest * 1e-9) return cv::Mat();
  cv::Mat solution;
  if (!cv::solve(a, b, solution, cv::DECOMP_SVD)) return cv::Mat();
  return solution.reshape(1, 2).clone();
}

cv::Mat ResizeByFactor(const cv::Mat& image, double factor) {
  if (image.empty() || !(factor > 0)) return cv::Mat();
  const cv::Size size(cv::saturate_cast<int>(image.cols * factor), cv::saturate_cast<int>(image.rows * factor));
  if (size.width < 1 || size.height < 1) return cv::Mat();
  // An empty target size makes OpenCV sample on the factor's grid, not on size / source size.
  cv::Mat resized;
  cv::resize(image, resized, cv::Size(), factor, factor, cv::INTER_LINEAR);
  return resized;
}

}  // namespace cvcompat

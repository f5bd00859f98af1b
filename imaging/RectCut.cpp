#include "imaging/RectCut.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"

namespace {

// The legacy cut uses this value of pi; results depend on it slightly.
constexpr double kLegacyPi = 3.14159;

}  // namespace

cv::Mat ExtractRotatedRect(cv::RotatedRect rect, cv::Mat image) {
  if (image.empty()) return cv::Mat();
  const float w = rect.size.width, h = rect.size.height, a = rect.angle;
  if (!std::isfinite(w) || !std::isfinite(h) || !std::isfinite(a) || !std::isfinite(rect.center.x) ||
      !std::isfinite(rect.center.y) || w >= float(INT32_MAX) || h >= float(INT32_MAX))
    return cv::Mat();
  float turn = a, halfRows, halfCols;
  int rows, cols;
  if (std::fabs(a) > 45.0f) {
    turn = a > 45.0f ? a - 90.0f : a + 90.0f;
    rows = int(w);
    cols = int(h);
    halfRows = w / 2;
    halfCols = h / 2;
  } else {
    rows = int(h);
    cols = int(w);
    halfRows = float(rows / 2);
    halfCols = float(cols / 2);
  }
  if (rows < 1 || cols < 1) return cv::Mat();
  return cvcompat::Guarded(cv::Mat(), [&] {
    const float radians = float(turn * kLegacyPi / 180.0);
    const float c = std::cos(radians), s = std::sin(radians);
    const float cx = rect.center.x, cy = rect.center.y;
    const float maxX = float(image.cols - 1), maxY = float(image.rows - 1);
    cv::Mat mapX(rows, cols, CV_32F), mapY(rows, cols, CV_32F), outside(rows, cols, CV_8U);
    for (int i = 0; i < rows; ++i) {
      float* px = mapX.ptr<float>(i);
      float* py = mapY.ptr<float>(i);
      uchar* po = outside.ptr<uchar>(i);
      const float di = float(i) - halfRows;
      for (int j = 0; j < cols; ++j) {
        const float dj = float(j) - halfCols;
        const float x = cx + dj * c - di * s, y = cy + dj * s + di * c;
        px[j] = x;
        py[j] = y;
        po[j] = (x < 0 || x > maxX || y < 0 || y > maxY) ? 255 : 0;
      }
    }
    cv::Mat cut;
    cv::remap(image, cut, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
    cut.setTo(cv::Scalar::all(255), outside);
    return cut;
  });
}

cv::Mat CutRotatedRect(cv::Mat image, cv::RotatedRect rect) {
  if (!(rect.size.width >= 1.0f) || !(rect.size.height >= 1.0f)) return cv::Mat();
  return ExtractRotatedRect(rect, image);
}

cv::Point2f RotatePointAboutCentre(cv::RotatedRect rect, float x, float y) {
  const double t = double(rect.angle) * CV_PI / 180.0;
  const double dx = double(x) - rect.center.x, dy = double(y) - rect.center.y;
  return cv::Point2f(float(rect.center.x + dx * std::cos(t) - dy * std::sin(t)),
                     float(rect.center.y + dx * std::sin(t) + dy * std::cos(t)));
}

bool CropRect(cv::Mat image, std::vector<cv::Mat>* out, int x, int y, int width, int height) {
  if (image.empty() || !out) return false;
  // 64-bit ends so that huge sizes cannot wrap around.
  std::int64_t left = x, top = y;
  std::int64_t right = std::int64_t(x) + width, bottom = std::int64_t(y) + height;
  left = std::max<std::int64_t>(left, 0);
  top = std::max<std::int64_t>(top, 0);
  right = std::min<std::int64_t>(right, image.cols);
  bottom = std::min<std::int64_t>(bottom, image.rows);
  if (right - left <= 0 || bottom - top <= 0) return false;
  return cvcompat::Guarded(false, [&] {
    out->push_back(image(cv::Rect(int(left), int(top), int(right - left), int(bottom - top))).clone());
    return true;
  });
}

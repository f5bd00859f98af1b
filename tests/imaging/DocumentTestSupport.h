#pragma once
// Helpers for the document geometry tests: comparing rotated rectangles
// whatever their angle convention, and marking a sheet's top-left corner so
// that a cut-out's orientation can be checked.
#include <algorithm>
#include <cmath>
#include <utility>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace geometry_test {

struct RectError {
  double angle;     // degrees, turn between the two
  double width;     // relative size errors, sides paired up
  double height;
  double centre;    // pixels
};

// The same rectangle described with an angle in [-45, 45).
inline cv::RotatedRect Canonical(cv::RotatedRect r) {
  while (r.angle >= 45.0f) {
    r.angle -= 90.0f;
    std::swap(r.size.width, r.size.height);
  }
  while (r.angle < -45.0f) {
    r.angle += 90.0f;
    std::swap(r.size.width, r.size.height);
  }
  return r;
}

inline RectError Compare(const cv::RotatedRect& found, const cv::RotatedRect& truth) {
  cv::RotatedRect a = Canonical(found), b = Canonical(truth);
  double d = double(a.angle) - b.angle;
  if (d > 45) {
    d -= 90;
    std::swap(a.size.width, a.size.height);
  } else if (d < -45) {
    d += 90;
    std::swap(a.size.width, a.size.height);
  }
  return {std::fabs(d), std::fabs(a.size.width - b.size.width) / b.size.width,
          std::fabs(a.size.height - b.size.height) / b.size.height, cv::norm(a.center - b.center)};
}

// A point given in the sheet's own coordinates (u along its width, v along
// its height, both from its centre) in frame pixels.
inline cv::Point2f SheetPoint(const cv::RotatedRect& sheet, float u, float v) {
  const double a = sheet.angle * CV_PI / 180.0;
  return sheet.center + cv::Point2f(float(u * std::cos(a) - v * std::sin(a)), float(u * std::sin(a) + v * std::cos(a)));
}

// Paints a dark disc into the sheet's top-left margin.
inline cv::Point2f MarkTopLeft(cv::Mat& frame, const cv::RotatedRect& sheet) {
  const float w = sheet.size.width, h = sheet.size.height;
  const cv::Point2f mark = SheetPoint(sheet, -0.43f * w, -0.43f * h);
  cv::circle(frame, mark, int(0.03f * std::min(w, h)), cv::Scalar::all(10), cv::FILLED, cv::LINE_AA);
  return mark;
}

// Where a frame point lands in an upright cut-out of `cutRect` that was
// turned by `turn` degrees (the cut-out's centre is the rectangle's centre).
inline cv::Point2f InCutOut(cv::Point2f framePoint, const cv::RotatedRect& cutRect, float turn, cv::Size cutSize) {
  const double t = -turn * CV_PI / 180.0;
  const cv::Point2f d = framePoint - cutRect.center;
  return cv::Point2f(cutSize.width / 2.0f, cutSize.height / 2.0f) +
         cv::Point2f(float(d.x * std::cos(t) - d.y * std::sin(t)), float(d.x * std::sin(t) + d.y * std::cos(t)));
}

inline double GreyAround(const cv::Mat& image, cv::Point2f p, int half = 3) {
  const cv::Rect box = cv::Rect(cvRound(p.x) - half, cvRound(p.y) - half, 2 * half + 1, 2 * half + 1) &
                       cv::Rect(0, 0, image.cols, image.rows);
  if (box.empty()) return -1;
  const cv::Scalar m = cv::mean(image(box));
  return image.channels() == 1 ? m[0] : (m[0] + m[1] + m[2]) / 3.0;
}

}  // namespace geometry_test

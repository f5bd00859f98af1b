#include "imaging/SheetCorners.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"

namespace {

// The hull is simplified within this share of its perimeter.
constexpr double kSimplifyShare = 0.02;
// An outline enclosing less than this share of its hull traces the sheet's
// edges, not its face (a sheet reaching the frame's borders, the detector's
// edges found apart, a shade's edge across it): its area tells nothing, and
// its hull's corners are taken as they are. Things lying beside a sheet
// join its face (DocumentDetection.h).
constexpr double kFaceShare = 0.5;

double Distance(cv::Point2f a, cv::Point2f b) { return std::hypot(double(a.x) - b.x, double(a.y) - b.y); }

// The rectangle's corners as ExtractRotatedRect's cut-out shows them: the
// cut-out's top left, top right, bottom right and bottom left.
SheetQuad RectangleCorners(const cv::RotatedRect& rect) {
  float turn = rect.angle, halfRows = rect.size.height / 2, halfCols = rect.size.width / 2;
  if (std::fabs(rect.angle) > 45.0f) {
    turn = rect.angle > 45.0f ? rect.angle - 90.0f : rect.angle + 90.0f;
    std::swap(halfRows, halfCols);
  }
  const double t = turn * CV_PI / 180.0, c = std::cos(t), s = std::sin(t);
  auto at = [&](double dj, double di) {
    return cv::Point2f(float(rect.center.x + dj * c - di * s), float(rect.center.y + dj * s + di * c));
  };
  return {at(-halfCols, -halfRows), at(halfCols, -halfRows), at(halfCols, halfRows), at(-halfCols, halfRows)};
}

}  // namespace

bool FindSheetQuad(const std::vector<cv::Point>& outline, double outlineArea, const cv::RotatedRect& rect,
                   double tolerance, SheetQuad* quad) {
  if (outline.size() < 4 || !quad || !(outlineArea > 0.0)) return false;
  std::vector<cv::Point> hull, corners;
  cv::convexHull(outline, hull);
  // Four convex corners are not enough: the outline must be one sheet.
  const double hullArea = cv::contourArea(hull);
  const bool face = outlineArea >= kFaceShare * hullArea;
  if (face && hullArea > (1.0 + kOneSheetShare) * outlineArea) return false;
  cv::approxPolyDP(hull, corners, kSimplifyShare * cv::arcLength(hull, true), true);
  if (corners.size() != 4 || !cv::isContourConvex(corners)) return false;
  // Each corner of the rectangle takes the hull's corner nearest to it; all
  // four must differ.
  const SheetQuad square = RectangleCorners(rect);
  SheetQuad found;
  std::vector<bool> taken(4, false);
  double farthest = 0.0;
  for (int k = 0; k < 4; ++k) {
    int nearest = 0;
    for (int i = 1; i < 4; ++i)
      if (Distance(corners[i], square[k]) < Distance(corners[nearest], square[k])) nearest = i;
    if (taken[nearest]) return false;
    taken[nearest] = true;
    found[k] = cv::Point2f(corners[nearest]);
    farthest = std::max(farthest, Distance(found[k], square[k]));
  }
  if (farthest <= tolerance * std::min(rect.size.width, rect.size.height)) return false;
  *quad = found;
  return true;
}

cv::Mat CutSheetQuad(const cv::Mat& image, const SheetQuad& quad) {
  const double width = (Distance(quad[0], quad[1]) + Distance(quad[3], quad[2])) / 2;
  const double height = (Distance(quad[0], quad[3]) + Distance(quad[1], quad[2])) / 2;
  if (image.empty() || !(width >= 1.0 && height >= 1.0) || width > 1e5 || height > 1e5) return cv::Mat();
  const float w = float(width), h = float(height);
  const cv::Point2f to[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  return cvcompat::Guarded(cv::Mat(), [&] {
    const cv::Mat mapping = cv::getPerspectiveTransform(quad.data(), to);
    cv::Mat cut;
    cv::warpPerspective(image, cut, mapping, cv::Size(int(width), int(height)), cv::INTER_LINEAR,
                        cv::BORDER_CONSTANT, cv::Scalar::all(255));
    return cut;
  });
}

#include "imaging/AutoCrop.h"

#include <cmath>
#include <cstdint>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "imaging/DocumentDetection.h"
#include "imaging/RectCut.h"
#include "imaging/SheetCorners.h"

namespace {

// Documents covering less of the frame than this are never trimmed.
constexpr double kMinCoverageToTrim = 0.08;
// A sheet whose corners lie further than this share of its shorter side from
// its rectangle's is seen at an angle: it is cut by its own corners.
constexpr double kSquareOnTolerance = 0.03;
constexpr float kAffineMinAreaRatio = 0.03f;
constexpr int kAffineDefaultMargin = 5;

// Cuts a found rectangle out of the frame with the margin applied; empty when
// nothing would be left. A sheet seen at an angle (its outline given, one
// sheet enclosing `outlineArea`) is cut by its corners, so that no desk is
// left in the cut-out's corners.
cv::Mat CutWithMargin(const cv::Mat& image, cv::RotatedRect rect, int margin,
                      const std::vector<cv::Point>* outline = nullptr, double outlineArea = 0.0) {
  const double coverage = double(rect.size.width) * rect.size.height / image.cols / image.rows;
  SheetQuad quad;
  const bool slanted =
      margin >= 0 && outline && FindSheetQuad(*outline, outlineArea, rect, kSquareOnTolerance, &quad);
  if (margin < 0) {
    const float grow = -2.0f * float(margin);
    rect.size.width += grow;
    rect.size.height += grow;
  }
  cv::Mat cut = slanted ? CutSheetQuad(image, quad) : ExtractRotatedRect(rect, image);
  if (cut.empty() || margin <= 0 || coverage < kMinCoverageToTrim) return cut;
  if (cut.cols <= 2LL * margin || cut.rows <= 2LL * margin) return cv::Mat();
  return cut(cv::Rect(margin, margin, cut.cols - 2 * margin, cut.rows - 2 * margin)).clone();
}

// The outline point nearest to p (p itself for an empty outline).
cv::Point2f SnapToOutline(cv::Point2f p, const std::vector<cv::Point>& outline) {
  double best = 1e11;
  cv::Point2f snapped = p;
  for (const auto& q : outline) {
    const double dx = double(p.x) - q.x, dy = double(p.y) - q.y;
    if (std::fabs(dx) + std::fabs(dy) > best) continue;
    const double distance = std::sqrt(dx * dx + dy * dy);
    if (distance < best) {
      best = distance;
      snapped = cv::Point2f(float(q.x), float(q.y));
    }
  }
  return snapped;
}

}  // namespace

bool AutoCropDocument(cv::Mat image, float minAreaRatio, int margin, float scale, int sobelKernel,
                      int medianKernel, double thresholdFactor, cv::Mat* out) {
  if (!out) return false;
  cv::RotatedRect rect;
  std::vector<cv::Point> outline;
  double area = 0.0;
  if (!FindDocumentRectAndContour(&rect, medianKernel, sobelKernel, &outline, scale, minAreaRatio, image,
                                  thresholdFactor, &area))
    return false;
  cv::Mat cut = cvcompat::Guarded(cv::Mat(), [&] { return CutWithMargin(image, rect, margin, &outline, area); });
  if (cut.empty()) return false;
  *out = cut;
  return true;
}

bool AutoCropDocuments(cv::Mat image, float minAreaRatio, int margin, float scale, int sobelKernel,
                       int medianKernel, double thresholdFactor, std::vector<cv::Mat>* out) {
  if (!out) return false;
  out->clear();
  std::vector<cv::RotatedRect> rects;
  if (!FindDocumentRects(&rects, medianKernel, sobelKernel, scale, minAreaRatio, image, thresholdFactor))
    return false;
  for (const auto& rect : rects) {
    cv::Mat cut = cvcompat::Guarded(cv::Mat(), [&] { return CutWithMargin(image, rect, margin); });
    if (!cut.empty()) out->push_back(cut);
  }
  return !out->empty();
}

bool AutoCropDocumentAffine(cv::Mat image, float scale, int margin, int sobelKernel, int medianKernel,
                            double thresholdFactor, cv::Mat* out) {
  if (!out) return false;
  cv::RotatedRect rect;
  std::vector<cv::Point> outline;
  if (!FindDocumentRectAndContour(&rect, medianKernel, sobelKernel, &outline, scale, kAffineMinAreaRatio, image,
                                  thresholdFactor))
    return false;
  if (std::fabs(rect.angle) > 45.0f) {
    rect.angle += 90.0f;
    std::swap(rect.size.width, rect.size.height);
  }
  const float cx = rect.center.x, cy = rect.center.y, w = rect.size.width, h = rect.size.height;
  const cv::Point2f unturned[4] = {{cx - w / 2, cy - h / 2}, {cx + w / 2, cy - h / 2},
                                   {cx + w / 2, cy + h / 2}, {cx - w / 2, cy + h / 2}};
  std::vector<cv::Point2f> corners;
  for (const auto& p : unturned) corners.push_back(SnapToOutline(RotatePointAboutCentre(rect, p.x, p.y), outline));
  const std::vector<cv::Point2f> upright{{0, 0}, {w, 0}, {w, h}, {0, h}};
  const cv::Mat m = cvcompat::EstimateAffine(upright, corners);
  if (m.empty()) return false;

  if (margin < 0) margin = kAffineDefaultMargin;
  if (2.0f * float(margin) > h) margin = 0;
  if (2.0f * float(margin) > w) margin = 0;
  const double rowsWanted = double(h) - 2.0 * margin, colsWanted = double(w) - 2.0 * margin;
  if (!(rowsWanted >= 1.0) || !(colsWanted >= 1.0) || rowsWanted > INT32_MAX || colsWanted > INT32_MAX) return false;
  const int rows = int(rowsWanted), cols = int(colsWanted);
  cv::Mat result = cvcompat::Guarded(cv::Mat(), [&] {
    const cv::Matx23d t(m);
    cv::Mat mapX(rows, cols, CV_32F), mapY(rows, cols, CV_32F);
    for (int i = 0; i < rows; ++i) {
      float* px = mapX.ptr<float>(i);
      float* py = mapY.ptr<float>(i);
      const double v = double(i) + margin;
      for (int j = 0; j < cols; ++j) {
        const double u = double(j) + margin;
        px[j] = float(t(0, 0) * u + t(0, 1) * v + t(0, 2));
        py[j] = float(t(1, 0) * u + t(1, 1) * v + t(1, 2));
      }
    }
    cv::Mat warped;
    cv::remap(image, warped, mapX, mapY, cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
    return warped;
  });
  if (result.empty()) return false;
  *out = result;
  return true;
}

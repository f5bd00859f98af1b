#include "imaging/DocumentDetection.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "imaging/DocumentEdges.h"
#include "imaging/EdgeClosing.h"
#include "imaging/SheetCorners.h"

namespace {

using cvcompat::Contour;
using cvcompat::ContourList;

// Working images are never made larger than this per side.
constexpr double kMaxWorkingSide = 16384;

// A joined shape whose hull holds more than this share of its own area
// beyond it is not one sheet: something lies joined to it (a note beside it,
// a pen) and is cut away where it can be.
constexpr double kForeignShare = 0.01;
// What is cut away: parts narrower than this share of the shape's size
// (the square root of its area), the sheet stood upright.
constexpr double kForeignWidthShare = 0.4;
// Of what the opening takes, parts standing out of the rest by an eighth of
// that width (at least these pixels) are foreign; the sheet's ragged border
// and corners stand out less and stay.
constexpr int kLeastReach = 4;
// The sheet left must keep this share of the shape and lose at least half
// the foreign share's worth; what is left must be one sheet (SheetCorners.h),
// and hold at most half the excess beyond it that the shape held.
constexpr double kLeastSheetShare = 0.6;

// A scale below the floor (or not a number) becomes the floor.
float ScaleWithFloor(float scale, float floor) { return scale >= floor ? scale : floor; }

// The frame shrunk by `scale` (bilinear, on the factor's grid); empty when nothing would be left
// or the result would be absurdly large.
cv::Mat Shrink(const cv::Mat& image, float scale) {
  const double width = image.cols * double(scale), height = image.rows * double(scale);
  if (!(width < kMaxWorkingSide && height < kMaxWorkingSide)) return cv::Mat();
  return cvcompat::ResizeByFactor(image, scale);
}

// A working-image rectangle in frame pixels, less the Sobel aperture.
cv::RotatedRect ToFrame(const cv::RotatedRect& r, float scale, int sobelKernel) {
  const float k = float(sobelKernel);
  return cv::RotatedRect(cv::Point2f(r.center.x / scale, r.center.y / scale),
                         cv::Size2f((r.size.width - k) / scale, (r.size.height - k) / scale), r.angle);
}

void Fill(cv::Mat& mask, const Contour& contour) {
  cv::drawContours(mask, ContourList{contour}, 0, cv::Scalar(255), cv::FILLED, cv::LINE_8);
}

// Edge regions of the shrunk frame, or false for an unusable frame.
bool FindEdgeRegions(const cv::Mat& image, int medianKernel, int sobelKernel, float scale, float minAreaRatio,
                     double thresholdFactor, cv::Mat* mask, EdgeRegions* regions) {
  if (image.empty() || image.depth() != CV_8U) return false;
  const cv::Mat working = Shrink(image, scale);
  if (working.empty()) return false;
  *mask = MakeEdgeMask(working, medianKernel, sobelKernel, thresholdFactor);
  if (mask->empty()) return false;
  *regions = ClassifyEdgeRegions(*mask, minAreaRatio);
  mask->setTo(cv::Scalar(0));
  return true;
}

// Redraws the regions as one shape, joined through their first points.
void DrawJoinedShape(cv::Mat& mask, const EdgeRegions& regions) {
  std::vector<cv::Point> seeds;
  for (const auto& region : regions.candidates) {
    Fill(mask, region);
    seeds.push_back(region.front());
  }
  auto closeSpans = [&](const ContourList& spans, bool (*join)(const ContourList&, cv::Mat&)) {
    if (join(spans, mask) || CloseSpanningEdge(mask, spans)) {
      for (const auto& span : spans)
        if (!span.empty()) seeds.push_back(span.front());
    }
  };
  closeSpans(regions.verticalSpans, JoinVerticalEdges);
  closeSpans(regions.horizontalSpans, JoinHorizontalEdges);
  for (const auto& corner : regions.largeCorners) {
    CloseCornerContour(mask, 0, corner);
    seeds.push_back(corner.front());
  }
  for (size_t i = 1; i < seeds.size(); ++i) cv::line(mask, seeds[i - 1], seeds[i], cv::Scalar(255), 3, cv::LINE_8);
  for (const auto& corner : regions.thinCorners) CloseCornerContour(mask, 1, corner);
}

double ShapesArea(const ContourList& shapes) {
  double area = 0.0;
  for (const auto& shape : shapes) area += cv::contourArea(shape);
  return area;
}

double HullArea(const ContourList& shapes) {
  Contour points, hull;
  for (const auto& shape : shapes) points.insert(points.end(), shape.begin(), shape.end());
  if (points.size() < 3) return 0.0;
  cv::convexHull(points, hull);
  return cv::contourArea(hull);
}

// The mask opened with a square of `side` pixels in a frame turned by
// `angle` degrees about its centre (the square's sides along the turned
// axes), turned back.
cv::Mat OpenTurned(const cv::Mat& mask, double angle, int side) {
  const double diagonal = std::hypot(double(mask.cols), double(mask.rows));
  const cv::Size canvas(int(diagonal) + 2 * side + 2, int(diagonal) + 2 * side + 2);
  cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(mask.cols / 2.0f, mask.rows / 2.0f), angle, 1.0);
  turn.at<double>(0, 2) += (canvas.width - mask.cols) / 2.0;
  turn.at<double>(1, 2) += (canvas.height - mask.rows) / 2.0;
  cv::Mat turned, opened, back;
  cv::warpAffine(mask, turned, turn, canvas, cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(0));
  cv::morphologyEx(turned, opened, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(side, side)));
  cv::warpAffine(opened, back, turn, mask.size(), cv::INTER_NEAREST | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT,
                 cv::Scalar(0));
  return back;
}

// The mask less what the opening took that stands out of what it left by
// `reach` pixels or more (a note, the line joining it); what lies closer
// (the sheet's own ragged border, its corners) stays. Empty when nothing
// stands out.
cv::Mat CutAwayStandingOut(const cv::Mat& mask, const cv::Mat& opened, int reach) {
  cv::Mat taken, outside, distance, labels;
  cv::bitwise_and(mask, ~opened, taken);
  cv::threshold(opened, outside, 0, 255, cv::THRESH_BINARY_INV);
  cv::distanceTransform(outside, distance, cv::DIST_L2, 3);
  const int count = cv::connectedComponents(taken, labels, 8, CV_32S);
  std::vector<float> farthest(size_t(count), 0.0f);
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x) {
      const int label = labels.at<int>(y, x);
      if (label > 0) farthest[size_t(label)] = std::max(farthest[size_t(label)], distance.at<float>(y, x));
    }
  if (std::none_of(farthest.begin(), farthest.end(), [&](float d) { return d >= float(reach); })) return cv::Mat();
  cv::Mat sheet = mask.clone();
  for (int y = 0; y < labels.rows; ++y)
    for (int x = 0; x < labels.cols; ++x) {
      const int label = labels.at<int>(y, x);
      if (label > 0 && farthest[size_t(label)] >= float(reach)) sheet.at<uchar>(y, x) = 0;
    }
  return sheet;
}

Contour AllPoints(const ContourList& shapes) {
  Contour points;
  for (const auto& shape : shapes) points.insert(points.end(), shape.begin(), shape.end());
  return points;
}

// The shapes of the joined mask with what lies joined to the sheet cut
// away: everything narrower than a share of the shape's size, judged with
// the sheet stood upright. Its turn is not known beforehand (what is joined
// turns the shape's rectangle): the turns of the whole shape's rectangle,
// of the frame and of a first cut's rectangle are tried, the sheet that is
// left largest taken and cut once more at its own turn. Empty when the
// shapes are one sheet already, when nothing worth it is cut away, or when
// what is left is not one sheet.
ContourList CutAwayForeign(const cv::Mat& mask, const ContourList& shapes) {
  const double area = ShapesArea(shapes), hull = HullArea(shapes);
  if (!(area > 0.0) || hull <= (1.0 + kForeignShare) * area) return {};
  const int side = std::max(3, int(kForeignWidthShare * std::sqrt(area)));
  // What is left at a turn, when it is one sheet and enough is cut away:
  // the mask less what stands out of the opened sheet, or where that is
  // not one sheet (a note lying over the sheet's edge leaves a stub), the
  // opened sheet itself. Nothing where nothing stands out.
  auto oneSheet = [&](ContourList sheet, double* left) -> ContourList {
    *left = ShapesArea(sheet);
    if (*left < kLeastSheetShare * area || *left > (1.0 - kForeignShare / 2) * area) return {};
    // Turned back, the cut sheet's edges are ragged by a pixel: a small one
    // holds a little more beyond it than a sheet found whole.
    const double excess = HullArea(sheet) / *left - 1.0;
    if (excess > kOneSheetShare + kForeignShare || excess > 0.5 * (hull / area - 1.0)) return {};
    return sheet;
  };
  auto cutAt = [&](double angle, double* left) -> ContourList {
    const cv::Mat opened = OpenTurned(mask, angle, side);
    const cv::Mat rest = CutAwayStandingOut(mask, opened, std::max(kLeastReach, side / 8));
    if (rest.empty()) return {};
    ContourList sheet = oneSheet(cvcompat::FindOuterContours(rest), left);
    return sheet.empty() ? oneSheet(cvcompat::FindOuterContours(opened), left) : sheet;
  };
  std::vector<double> turns{double(cvcompat::MinAreaRect(AllPoints(shapes)).angle), 0.0};
  const ContourList rough = cvcompat::FindOuterContours(OpenTurned(mask, 0.0, side));
  if (!rough.empty()) turns.push_back(double(cvcompat::MinAreaRect(AllPoints(rough)).angle));
  ContourList best;
  double bestLeft = 0.0;
  for (double turn : turns) {
    double left = 0.0;
    ContourList sheet = cutAt(turn, &left);
    if (!sheet.empty() && left > bestLeft) {
      best = std::move(sheet);
      bestLeft = left;
    }
  }
  if (best.empty()) return {};
  double left = 0.0;
  ContourList again = cutAt(double(cvcompat::MinAreaRect(AllPoints(best)).angle), &left);
  return !again.empty() && left >= bestLeft ? again : best;
}

// Redraws the regions keeping them apart.
void DrawSeparateShapes(cv::Mat& mask, const EdgeRegions& regions) {
  for (const auto& region : regions.candidates) Fill(mask, region);
  auto closeSpans = [&](const ContourList& spans, bool (*join)(const ContourList&, cv::Mat&)) {
    if (spans.size() >= 2) {
      join(spans, mask);
    } else if (spans.size() == 1) {
      CloseSpanningEdge(mask, spans);
    }
  };
  closeSpans(regions.verticalSpans, JoinVerticalEdges);
  closeSpans(regions.horizontalSpans, JoinHorizontalEdges);
  for (const auto& corner : regions.largeCorners) CloseCornerContour(mask, 0, corner);
  for (const auto& corner : regions.thinCorners) CloseCornerContour(mask, 1, corner);
}

// Merges contours whose bounding boxes overlap by half of either one's area,
// starting over after every merge.
void MergeOverlapping(ContourList& contours) {
  bool merged = true;
  while (merged) {
    merged = false;
    for (size_t i = 0; i < contours.size() && !merged; ++i) {
      const cv::Rect ri = cv::boundingRect(contours[i]);
      for (size_t j = i + 1; j < contours.size(); ++j) {
        const cv::Rect rj = cv::boundingRect(contours[j]);
        const int x0 = std::max(ri.x, rj.x), y0 = std::max(ri.y, rj.y);
        const int x1 = std::min(ri.x + ri.width, rj.x + rj.width), y1 = std::min(ri.y + ri.height, rj.y + rj.height);
        if (x0 > x1 || y0 > y1) continue;
        const float overlap = float((x1 - x0) * (y1 - y0));
        if (overlap / float(ri.area()) >= 0.5f || overlap / float(rj.area()) >= 0.5f) {
          contours[i].insert(contours[i].end(), contours[j].begin(), contours[j].end());
          contours.erase(contours.begin() + std::ptrdiff_t(j));
          merged = true;
          break;
        }
      }
    }
  }
}

}  // namespace

bool FindDocumentRectAndContour(cv::RotatedRect* out, int medianKernel, int sobelKernel,
                                std::vector<cv::Point>* contour, float scale, float minAreaRatio,
                                cv::Mat image, double thresholdFactor, double* area) {
  if (!out || !contour) return false;
  return cvcompat::Guarded(false, [&] {
    const float s = ScaleWithFloor(scale, 0.2f);
    cv::Mat mask;
    EdgeRegions regions;
    if (!FindEdgeRegions(image, medianKernel, sobelKernel, s, minAreaRatio, thresholdFactor, &mask, &regions))
      return false;
    DrawJoinedShape(mask, regions);
    ContourList shapes = cvcompat::FindOuterContours(mask);
    if (shapes.empty()) return false;
    // A note or a pen beside the sheet, joined to it, is no part of it.
    if (ContourList sheet = CutAwayForeign(mask, shapes); !sheet.empty()) shapes = std::move(sheet);
    Contour outline;
    for (const auto& shape : shapes) outline.insert(outline.end(), shape.begin(), shape.end());
    const cv::RotatedRect found = ToFrame(cvcompat::MinAreaRect(outline), s, sobelKernel);
    for (auto& p : outline) p = cv::Point(int(float(p.x) / s), int(float(p.y) / s));
    *out = found;
    *contour = std::move(outline);
    if (area) *area = ShapesArea(shapes) / (double(s) * s);
    return true;
  });
}

bool FindDocumentRect(cv::RotatedRect* out, int medianKernel, int sobelKernel, float scale, float minAreaRatio,
                      cv::Mat image, double thresholdFactor) {
  std::vector<cv::Point> outline;
  return FindDocumentRectAndContour(out, medianKernel, sobelKernel, &outline, scale, minAreaRatio, image,
                                    thresholdFactor);
}

bool FindDocumentRects(std::vector<cv::RotatedRect>* out, int medianKernel, int sobelKernel, float scale,
                       float minAreaRatio, cv::Mat image, double thresholdFactor) {
  if (!out) return false;
  out->clear();
  return cvcompat::Guarded(false, [&] {
    const float s = ScaleWithFloor(scale, 0.1f);
    cv::Mat mask;
    EdgeRegions regions;
    if (!FindEdgeRegions(image, medianKernel, sobelKernel, s, minAreaRatio, thresholdFactor, &mask, &regions))
      return false;
    DrawSeparateShapes(mask, regions);
    ContourList shapes = cvcompat::FindOuterContours(mask);
    if (shapes.empty()) return false;
    MergeOverlapping(shapes);
    std::vector<cv::RotatedRect> found;
    for (const auto& shape : shapes) found.push_back(ToFrame(cvcompat::MinAreaRect(shape), s, sobelKernel));
    *out = std::move(found);
    return true;
  });
}

#pragma once
// OpenCV 4 behind the conventions of OpenCV 2.4 that the document geometry was
// built on: rotated-rectangle angles in [-90, 0), contour search that ignores
// the 1-pixel image border, a full affine estimate from point pairs, and image
// reading that keeps the pixels as stored (no EXIF turn). Also the guard that
// keeps OpenCV exceptions inside imaging/.
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

namespace cvcompat {

using Contour = std::vector<cv::Point>;
using ContourList = std::vector<Contour>;

// The same rectangle with its angle brought into [-90, 0): every quarter turn
// taken off the angle swaps width and height. An upright square reports -90.
cv::RotatedRect LegacyAngle(cv::RotatedRect rect);

// Minimum-area rectangle of the points, angle in [-90, 0).
cv::RotatedRect MinAreaRect(const Contour& points);

// Contours (simple chain approximation) of an 8-bit one-channel mask,
// searched on a copy whose outermost pixel frame is cleared, so none touches
// the image edge; the mask itself is not changed. `mode` is cv::RETR_EXTERNAL
// or cv::RETR_LIST.
ContourList FindContours(const cv::Mat& mask, int mode);
// The outer contours only.
ContourList FindOuterContours(const cv::Mat& mask);
// Outer and inner contours alike, without hierarchy.
ContourList FindContourList(const cv::Mat& mask);

// Least-squares full affine transform (2 x 3, CV_64F) taking each point of
// `from` to its partner in `to`; empty when fewer than three pairs are given,
// the sizes differ, or the source points lie on one line.
cv::Mat EstimateAffine(const std::vector<cv::Point2f>& from, const std::vector<cv::Point2f>& to);

// Bilinear resize by `factor` in both directions on the factor's own sampling
// grid (OpenCV's fx = fy = factor), so results map back exactly by 1 / factor.
// The size is rounded as OpenCV rounds it; empty when no pixel would be left.
cv::Mat ResizeByFactor(const cv::Mat& image, double factor);

// Runs `work` and returns its result, or `fallback` when OpenCV or the
// allocator throws.
template <class Result, class Work>
Result Guarded(Result fallback, Work&& work) {
  try {
    return std::forward<Work>(work)();
  } catch (const std::exception&) {
    return fallback;
  }
}

}  // namespace cvcompat

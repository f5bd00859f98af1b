#pragma once
// A sheet seen at an angle (lifted toward the camera, or lying on a
// slanted stand) is a quadrilateral in the frame, not a rectangle: the
// rectangle around it keeps wedges of desk in its corners. These find its
// four corners on the detector's outline and cut it out by them.
#include <array>
#include <vector>

#include <opencv2/core.hpp>

using SheetQuad = std::array<cv::Point2f, 4>;  // top left, top right, bottom right, bottom left

// The hull's area may exceed the outline's by this share and the outline
// still be one sheet; beyond it something else is joined to the sheet (a
// note beside it), and the hull's corners are not the sheet's.
constexpr double kOneSheetShare = 0.02;

// The corners of the sheet the outline traces, in the order of the cut-out
// ExtractRotatedRect makes of `rect` (its top left first, clockwise).
// `outlineArea` is the area the outline encloses (its shapes filled). False
// when the outline is not one sheet (it encloses its sheet's face, at least
// half its hull, and its hull's area exceeds `outlineArea` by more than
// kOneSheetShare), when the hull is not four-cornered, or when
// its corners lie within `tolerance` (a share of the rectangle's shorter
// side) of the rectangle's own: the sheet is seen square on.
bool FindSheetQuad(const std::vector<cv::Point>& outline, double outlineArea, const cv::RotatedRect& rect,
                   double tolerance, SheetQuad* quad);

// The quadrilateral mapped onto an upright rectangle as wide and high as its
// opposite sides are on average; parts beyond the frame come out white.
// Empty when the corners give no mapping.
cv::Mat CutSheetQuad(const cv::Mat& image, const SheetQuad& quad);

#pragma once
// Cutting parts out of an image: a rotated rectangle straightened, or an
// upright rectangle clipped to the image. Inputs are never written; results
// own their pixels. Nothing throws.
#include <vector>

#include <opencv2/core.hpp>

// The rectangle cut out upright, turned by at most 45 degrees: a rectangle
// turned by more swaps the roles of its width and height. Bilinear; parts of
// the rectangle beyond the image come out white. Empty for an empty image, a
// rectangle with less than one row or column, or sizes that are not finite.
cv::Mat ExtractRotatedRect(cv::RotatedRect rect, cv::Mat image);

// ExtractRotatedRect, but empty at once for a width or height under 1.
cv::Mat CutRotatedRect(cv::Mat image, cv::RotatedRect rect);

// (x, y) turned about the rectangle's centre by the rectangle's angle.
cv::Point2f RotatePointAboutCentre(cv::RotatedRect rect, float x, float y);

// Appends a copy of the part of the image inside (x, y, width, height),
// clipped to the image. False, appending nothing, for an empty image or when
// nothing of the rectangle lies inside.
bool CropRect(cv::Mat image, std::vector<cv::Mat>* out, int x, int y, int width, int height);

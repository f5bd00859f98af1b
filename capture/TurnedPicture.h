#pragma once
// Pictures turned by any angle for the overlays: put on a square that holds
// them at every turn, turned with a mask of where they lie, and laid into a
// 24-bit picture only where the mask covers them fully, so no edge blended
// with the square's surroundings ever shows.
#include <opencv2/core.hpp>

#include "platform/mfc/CImage.h"

namespace vqcapture {

// The side of the square that holds a width x height picture at any turn.
int SquareSide(int width, int height);

// Turns a square about its centre by `degrees` (counter-clockwise on screen,
// as OpenCV counts), linear interpolation, black where nothing comes from.
cv::Mat TurnSquare(const cv::Mat& square, double degrees);

// The picture centred on a square filled with `fill`, and a one-channel mask
// of 255 where it lies, both turned by `degrees`.
void TurnInSquare(const cv::Mat& picture, double degrees, const cv::Scalar& fill, cv::Mat* turned, cv::Mat* mask);

// Where the mask is exactly 255, target pixel (left + j, top + i), when it
// lies in the target, becomes trunc(weight * old + (1 - weight) * picture).
void LayCovered(const cv::Mat& picture, const cv::Mat& mask, CImage* target, int left, int top, double weight);

}  // namespace vqcapture

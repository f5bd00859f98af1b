#pragma once
// The first half of document detection: the edge mask of a shrunk frame and
// the sorting of its regions by how they touch the image border.
#include <opencv2/core.hpp>

#include "imaging/CvCompat.h"

// Edge threshold: mean + factor x the square root of the standard deviation.
double EdgeThreshold(double mean, double stdDev, double thresholdFactor);

// The edge mask (0 or 255, 8-bit) of an already shrunk 8-bit image: per
// channel a median blur and the Sobel gradients |dx| + |dy| summed into an
// energy map, thresholded by EdgeThreshold, then closed (dilate, erode).
// Empty when the image is empty or not 8-bit, or the median aperture is not
// odd and positive, or the Sobel aperture not 1, 3, 5 or 7.
cv::Mat MakeEdgeMask(const cv::Mat& working, int medianKernel, int sobelKernel, double thresholdFactor);

// The outer regions of an edge mask, sorted by their border contact.
struct EdgeRegions {
  cvcompat::ContourList verticalSpans;    // thin, from the top to the bottom border
  cvcompat::ContourList horizontalSpans;  // thin, from the left to the right border
  cvcompat::ContourList thinCorners;      // thin, cutting off one image corner
  cvcompat::ContourList largeCorners;     // over a third of the image, in one corner
  cvcompat::ContourList candidates;       // anything else larger than the minimum area
};

// Sorts the outer contours of `mask`; regions whose minimum-area rectangle is
// not above minAreaRatio of the mask's area and fit no other list are dropped.
EdgeRegions ClassifyEdgeRegions(const cv::Mat& mask, float minAreaRatio);

#pragma once
// Completing document outlines that the image border cuts open: joining edges
// that span the whole image, closing a single spanning edge against the
// border, and filling or painting out regions in an image corner. All draw
// into an 8-bit one-channel mask (white 255, black 0).
#include <opencv2/core.hpp>

#include "imaging/CvCompat.h"

// Two or more edges running from the top to the bottom border: fills them and
// joins consecutive top points and consecutive bottom points with lines.
// False (nothing drawn) for an empty mask or fewer than two edges.
bool JoinVerticalEdges(const cvcompat::ContourList& edges, cv::Mat& mask);

// The same for edges running from the left to the right border, joining
// leftmost and rightmost points.
bool JoinHorizontalEdges(const cvcompat::ContourList& edges, cv::Mat& mask);

// Exactly one edge across the image: closes the part on the far side of it
// from the nearer border (the part above an edge in the lower half, and so
// on) with lines along the border, and fills the edge. False, with nothing
// drawn, for an empty mask, not exactly one edge, an empty edge, or an edge
// whose mean position lies within 2 % of the longer side from the border.
bool CloseSpanningEdge(cv::Mat& mask, const cvcompat::ContourList& edges);

// A contour in an image corner: cut down to the stretch between its two
// border points and closed through the corner; then filled white (erase 0)
// or outlined and filled black (erase 1). False for an empty contour or mask.
bool CloseCornerContour(cv::Mat& mask, int erase, cvcompat::Contour contour);

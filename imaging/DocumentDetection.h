#pragma once
// Finding the sheets of paper in a camera frame of a desk: each document as
// a rotated rectangle in frame pixels (angle in [-90, 0) degrees, as OpenCV
// 2.4 reported it). Detection works on a copy shrunk by `scale` and keys on
// edges, not brightness; pages may run off the frame on one or two sides.
//
// Parameters: medianKernel (odd, 9), sobelKernel (1, 3, 5 or 7; also taken
// off the rectangle's sides at the end), scale (0.2), minAreaRatio (share of
// the frame a candidate region must exceed), thresholdFactor (8.0).
// Frames are 8-bit with any number of channels; they are never written.
// Nothing throws: bad input or parameters give false.
#include <vector>

#include <opencv2/core.hpp>

// One document: all edge regions that survive are joined into one shape.
// Where the shape is not one sheet (its hull holds clearly more than its
// own area) because something lies joined to it, a note or a pen beside the
// sheet, the parts much narrower than the shape are cut away, as long as
// what is left is one sheet. On true *out holds its rectangle and *contour
// its outline (the points of the regions one after another) in frame
// pixels, and *area (when given) the area the outline's shapes enclose; on
// false none is touched.
bool FindDocumentRectAndContour(cv::RotatedRect* out, int medianKernel, int sobelKernel,
                                std::vector<cv::Point>* contour, float scale, float minAreaRatio,
                                cv::Mat image, double thresholdFactor, double* area = nullptr);

// The same without the outline.
bool FindDocumentRect(cv::RotatedRect* out, int medianKernel, int sobelKernel, float scale,
                      float minAreaRatio, cv::Mat image, double thresholdFactor);

// Several documents, one rectangle each; regions whose bounding boxes overlap
// by half of either one's area are merged. *out is cleared first, always;
// true when at least one document was found.
bool FindDocumentRects(std::vector<cv::RotatedRect>* out, int medianKernel, int sobelKernel, float scale,
                       float minAreaRatio, cv::Mat image, double thresholdFactor);

#pragma once
// Turning a camera frame into upright document images: find the document(s)
// (DocumentDetection.h), cut each rotated rectangle out straightened, and
// trim or widen by a margin. Detector parameters pass through unchanged.
// Inputs are never written; nothing throws.
#include <vector>

#include <opencv2/core.hpp>

// One document. A positive margin trims that many pixels from every side of
// the cut-out (only when the document covers at least 8 % of the frame); a
// negative one widens the rectangle by its size on every side. Something
// joined to the sheet (a note beside it) is cut away by the detector where
// it can be. A sheet seen at an angle, whose outline is one sheet with four
// corners clearly off its rectangle's, is cut by those corners instead
// (then trimmed the same way); an outline that is not one sheet is cut
// upright by its rectangle, never sheared by a foreign corner. False, with
// *out untouched, when nothing is found or nothing would be left to cut.
bool AutoCropDocument(cv::Mat image, float minAreaRatio, int margin, float scale, int sobelKernel,
                      int medianKernel, double thresholdFactor, cv::Mat* out);

// Every document, in the detector's order. *out is cleared first; documents
// that leave nothing to cut are skipped. True when at least one was cut.
bool AutoCropDocuments(cv::Mat image, float minAreaRatio, int margin, float scale, int sobelKernel,
                       int medianKernel, double thresholdFactor, std::vector<cv::Mat>* out);

// One document, its rectangle's corners snapped to the found outline and the
// quadrilateral they span mapped onto an upright rectangle (areas beyond the
// frame come out black). Margin: trimmed from every side; negative means 5,
// and a margin that would take the whole width or height becomes 0. False,
// with *out untouched, when nothing is found or no mapping exists.
bool AutoCropDocumentAffine(cv::Mat image, float scale, int margin, int sobelKernel, int medianKernel,
                            double thresholdFactor, cv::Mat* out);

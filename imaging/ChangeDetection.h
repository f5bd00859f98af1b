#pragma once
// Telling frames apart for automatic continuous shooting: has the picture
// changed, and does a document lie under the camera? Frames are 8-bit with
// one or three channels and are never written; nothing throws.
#include <opencv2/core.hpp>

// True when both frames have the same size and channel count and the pixels
// that differ by more than diffThreshold in any channel form regions whose
// outer outlines enclose at most maxChangedAreaRatio of the frame. False
// otherwise, also for empty frames or frames that cannot be compared.
bool IsSameScene(const cv::Mat& previous, const cv::Mat& current, float maxChangedAreaRatio, int diffThreshold);

// True when the document detector (scale 0.2, minimum area ratio 0.03) finds
// a document whose rectangle covers more than minAreaRatio of the image.
bool HasDocument(cv::Mat image, double minAreaRatio, double thresholdFactor, int medianKernel, int sobelKernel);

// The grey level below which a fifth of the pixels brighter than the Otsu
// level lie: a representative level of the paper. For a frame with nothing
// above the Otsu level (a uniform frame) its brightest grey level; -1 for an
// empty frame or one that is not 8-bit with one or three channels.
int EstimatePaperBrightness(const cv::Mat& image);

// What continuous shooting makes of one look at the desk, given the frames
// of two and three looks before (`older`) and of two looks before (`old`).
enum class SheetVerdict {
  NewSheet,   // a document differs from `older` and lies as in `old`: shoot
  NoSheet,    // no document under the camera
  SameSheet,  // the document already shot still lies there
  Changing,   // a document whose picture still changes
};

// The new-sheet decision shared by the capture program and the data source;
// `maxChangedAreaRatio` is how much of the frame may change for two frames
// to count as the same scene. Frames are reduced by the caller.
SheetVerdict JudgeSheet(const cv::Mat& older, const cv::Mat& old, const cv::Mat& frame, float maxChangedAreaRatio);

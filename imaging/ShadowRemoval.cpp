// Shadow removal: the background of the page's brightness plane is estimated
// at a fifth of the size and flattened, ink keeps its value.
#include <vector>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "imaging/DarkBorder.h"
#include "imaging/EnhancementHelpers.h"
#include "imaging/ImageEnhancement.h"

namespace {

using namespace vq::enhance;

// The paper's brightness without the ink: a median at a fifth of the size.
cv::Mat EstimateBackground(const cv::Mat& plane) {
  cv::Mat smooth;
  cv::medianBlur(ScaledBy(plane, 0.2), smooth, 21);
  return ScaledTo(smooth, plane.size());
}

// Background pixels move to W - B + 245 (saturated), ink keeps its value.
cv::Mat FlattenPlane(const cv::Mat& plane) {
  const cv::Mat background = EstimateBackground(plane);
  cv::Mat textMask;
  AdaptiveBinarize(plane, 15, 10, textMask);
  FillDarkBorder(textMask);
  cv::Mat flattened;
  cv::addWeighted(plane, 1.0, background, -1.0, 245.0, flattened);
  cv::bitwise_and(flattened, textMask, flattened);
  cv::Mat ink;
  cv::bitwise_and(plane, ~textMask, ink);
  cv::Mat result;
  cv::add(flattened, ink, result);
  return result;
}

bool RemoveShadowChecked(const cv::Mat& source, cv::Mat& destination, int threshold) {
  if (threshold < 0 || threshold > 255) threshold = 50;
  if (source.channels() == 1) {
    destination = FlattenPlane(source);
    return true;
  }
  std::vector<cv::Mat> bgr;
  cv::split(source, bgr);
  const cv::Mat lowest = cv::min(cv::min(bgr[0], bgr[1]), bgr[2]);
  cv::Mat hsv;
  cv::cvtColor(source, hsv, cv::COLOR_BGR2HSV);
  std::vector<cv::Mat> planes;
  cv::split(hsv, planes);
  cv::Mat chroma, colourMask;
  cv::absdiff(lowest, planes[2], chroma);
  cv::threshold(chroma, colourMask, threshold, 255, cv::THRESH_BINARY);
  cv::bitwise_and(planes[0], colourMask, planes[0]);
  cv::bitwise_and(planes[1], colourMask, planes[1]);
  planes[2] = FlattenPlane(planes[2]);
  cv::merge(planes, hsv);
  cv::cvtColor(hsv, destination, cv::COLOR_HSV2BGR);
  return true;
}

}  // namespace

bool CImageProcess::RemoveShadow(const cv::Mat& source, cv::Mat& destination, int threshold) {
  if (!IsGreyOrColour(source)) return false;
  return cvcompat::Guarded(false, [&] { return RemoveShadowChecked(source, destination, threshold); });
}

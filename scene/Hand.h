#pragma once
// A hand and forearm reaching into a synthetic camera scene.
#include <opencv2/core.hpp>

namespace vqscene {

struct Hand {
  cv::Point2f entry;  // where the forearm crosses the frame border (may lie outside)
  cv::Point2f palm;   // centre of the palm
  float width = 120;  // forearm width in pixels; the palm is a little wider
  cv::Scalar skin{105, 140, 195};  // blue, green, red
};

// A hand whose palm is at `palm`, reaching in from the bottom border (the
// side of the desk where the user sits).
Hand HandReachingTo(cv::Size frame, cv::Point2f palm);

}  // namespace vqscene

#pragma once
// One synthetic camera frame as a description: a darker desk, sheets of paper,
// an optional hand, and the camera's shadows, noise and blur.
#include <cstdint>
#include <optional>
#include <vector>

#include <opencv2/core.hpp>

#include "scene/Hand.h"
#include "scene/Sheet.h"

namespace vqscene {

struct Scene {
  cv::Size size{1280, 960};
  cv::Scalar desk{48, 62, 82};  // blue, green, red: a dark wooden desk
  std::vector<Sheet> sheets;    // drawn in order, later sheets on top
  std::optional<Hand> hand;     // drawn above the sheets
  bool shadows = true;          // a soft shadow under every sheet and the hand
  // Things above the desk outside the picture (the camera's arm, the user's
  // head): only their soft shadows fall on the scene, drawn when `shadows` is on.
  std::vector<std::vector<cv::Point2f>> overheadShadows;
  double vignetting = 0.0;      // share of the light lost in the corners (0.3: 30 %)
  double exposure = 1.0;        // share of the light the camera keeps (0.3 in a dim room)
  double noiseSigma = 0.0;      // sensor noise, grey levels
  double blurSigma = 0.0;       // defocus, pixels
  std::uint64_t seed = 1;       // desk texture
  std::uint64_t noiseSeed = 1;  // the noise of this one frame
};

// An empty desk of the given size.
Scene EmptyDesk(cv::Size size, std::uint64_t seed = 1);

// A desk with one sheet, as the tests and benchmarks use it.
Scene SingleSheet(cv::Size size, cv::Point2f centre, cv::Size2f sheetSize, float angle);

}  // namespace vqscene

#pragma once
// Renders a scene description into a camera frame.
#include <opencv2/core.hpp>

#include "scene/Scene.h"

namespace vqscene {

// The frame as the camera would deliver it: 8-bit, three channels (blue,
// green, red), scene.size pixels. Equal descriptions give equal frames.
// An empty size gives an empty matrix.
cv::Mat RenderScene(const Scene& scene);

}  // namespace vqscene

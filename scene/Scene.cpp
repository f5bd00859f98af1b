#include "scene/Scene.h"

namespace vqscene {

Scene EmptyDesk(cv::Size size, std::uint64_t seed) {
  Scene scene;
  scene.size = size;
  scene.seed = seed;
  return scene;
}

Scene SingleSheet(cv::Size size, cv::Point2f centre, cv::Size2f sheetSize, float angle) {
  Scene scene = EmptyDesk(size);
  scene.sheets.push_back(PlaceSheet(centre, sheetSize, angle));
  return scene;
}

}  // namespace vqscene

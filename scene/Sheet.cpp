#include "scene/Sheet.h"

#include <algorithm>
#include <cmath>

namespace vqscene {

Sheet PlaceSheet(cv::Point2f centre, cv::Size2f size, float angle, std::uint64_t seed) {
  Sheet sheet;
  sheet.rect = cv::RotatedRect(centre, size, angle);
  sheet.seed = seed;
  return sheet;
}

std::vector<cv::Point2f> SheetOutline(const Sheet& sheet) {
  if (sheet.corners.size() == 4) return sheet.corners;
  std::vector<cv::Point2f> corners(4);
  sheet.rect.points(corners.data());
  return corners;
}

Sheet RandomSheet(cv::Size frame, cv::RNG& rng) {
  // Height-to-width ratios of A4, letter and A5 are all close to these.
  static const float kRatios[] = {1.4142f, 1.2941f, 1.4190f};
  float ratio = kRatios[rng.uniform(0, 3)];
  if (rng.uniform(0, 2) == 1) ratio = 1.0f / ratio;
  const double frameArea = double(frame.width) * frame.height;
  const double area = frameArea * rng.uniform(0.15, 0.45);
  float width = float(std::sqrt(area / ratio));
  float height = width * ratio;
  const float angle = float(rng.uniform(-45.0, 45.0));
  // Shrink until the turned sheet fits with a small gap to the border.
  const float gap = 0.03f * float(std::min(frame.width, frame.height));
  for (int i = 0; i < 40; ++i) {
    const cv::Rect2f box = cv::RotatedRect({0, 0}, {width, height}, angle).boundingRect2f();
    if (box.width + 2 * gap <= frame.width && box.height + 2 * gap <= frame.height) break;
    width *= 0.95f;
    height *= 0.95f;
  }
  const cv::Rect2f box = cv::RotatedRect({0, 0}, {width, height}, angle).boundingRect2f();
  const float freeX = std::max(0.0f, frame.width - box.width - 2 * gap);
  const float freeY = std::max(0.0f, frame.height - box.height - 2 * gap);
  const cv::Point2f centre(gap + box.width / 2 + float(rng.uniform(0.0, 1.0)) * freeX,
                           gap + box.height / 2 + float(rng.uniform(0.0, 1.0)) * freeY);
  return PlaceSheet(centre, {width, height}, angle, rng.next());
}

}  // namespace vqscene

#include "scene/Hand.h"

#include <algorithm>

namespace vqscene {

Hand HandReachingTo(cv::Size frame, cv::Point2f palm) {
  Hand hand;
  hand.palm = palm;
  hand.width = 0.09f * float(std::min(frame.width, frame.height));
  const float toLeft = palm.x, toRight = float(frame.width) - palm.x;
  const float toTop = palm.y, toBottom = float(frame.height) - palm.y;
  const float nearest = std::min({toLeft, toRight, toTop, toBottom});
  const float outside = hand.width;
  if (nearest == toBottom) {
    hand.entry = {palm.x + 0.2f * toBottom, float(frame.height) + outside};
  } else if (nearest == toRight) {
    hand.entry = {float(frame.width) + outside, palm.y + 0.2f * toRight};
  } else if (nearest == toLeft) {
    hand.entry = {-outside, palm.y + 0.2f * toLeft};
  } else {
    hand.entry = {palm.x + 0.2f * toTop, -outside};
  }
  return hand;
}

}  // namespace vqscene

#include "scene/Hand.h"

#include <algorithm>

namespace vqscene {

Hand HandReachingTo(cv::Size frame, cv::Point2f palm) {
  Hand hand;
  hand.palm = palm;
  hand.width = 0.15f * float(std::min(frame.width, frame.height));
  // The user sits at the bottom of the view; the forearm slants a little
  // towards the side of the frame the palm is on.
  const float slant = 0.25f * (palm.x - 0.5f * float(frame.width));
  hand.entry = {palm.x + slant, float(frame.height) + hand.width};
  return hand;
}

}  // namespace vqscene

#include "platform/display/PlacementTracker.h"

#include <algorithm>

namespace vqplatform {
namespace {

constexpr size_t kMaxRequests = 16;

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameSize(const RECT& a, int width, int height) { return a.right - a.left == width && a.bottom - a.top == height; }

}  // namespace

bool Placement::operator==(const Placement& other) const {
  return SameRect(rect, other.rect) && SameRect(frame, other.frame) && minimised == other.minimised &&
         maximised == other.maximised;
}

void PlacementTracker::Requested(const RECT& rect) {
  shown_.rect = rect;
  requests_.push_back(rect);
  if (requests_.size() > kMaxRequests) requests_.pop_front();
}

bool PlacementTracker::Configured(const RECT& rect) {
  positionUnsure_ = false;
  // The echo of a request: the requests before it are answered too.
  auto echo = std::find_if(requests_.begin(), requests_.end(), [&](const RECT& r) { return SameRect(r, rect); });
  if (echo != requests_.end()) {
    requests_.erase(requests_.begin(), echo + 1);
    return false;
  }
  if (SameRect(rect, shown_.rect)) return false;
  shown_.rect = rect;
  requests_.clear();
  return true;
}

bool PlacementTracker::Resized(int width, int height) {
  if (SameSize(shown_.rect, width, height)) return false;
  if (std::any_of(requests_.begin(), requests_.end(), [&](const RECT& r) { return SameSize(r, width, height); }))
    return false;
  shown_.rect.right = shown_.rect.left + width;
  shown_.rect.bottom = shown_.rect.top + height;
  positionUnsure_ = true;
  requests_.clear();
  return true;
}

bool PlacementTracker::Minimised(bool minimised) {
  if (shown_.minimised == minimised) return false;
  shown_.minimised = minimised;
  return true;
}

bool PlacementTracker::Maximised(bool maximised) {
  if (shown_.maximised == maximised) return false;
  shown_.maximised = maximised;
  return true;
}

bool PlacementTracker::Framed(const RECT& frame, bool shown) {
  if (SameRect(shown_.frame, frame)) return false;
  if (!shown) {
    int dx = frame.left - shown_.frame.left, dy = frame.top - shown_.frame.top;
    shown_.rect = RECT{shown_.rect.left + dx, shown_.rect.top + dy, shown_.rect.right + dx, shown_.rect.bottom + dy};
  }
  shown_.frame = frame;
  return true;
}

}  // namespace vqplatform

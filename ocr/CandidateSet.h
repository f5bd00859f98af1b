#pragma once
// The classifiers' candidate lists: pairs ordered by distance, at most one per
// exact distance value and at most `limit` of them.
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <string>

template <typename T>
class CandidateSet {
 public:
  explicit CandidateSet(size_t limit) : limit_(limit) {}

  // True when Offer would add the distance: there is room, or it is below
  // the largest held. Cheap, for turning most offers away before they are made.
  bool Admits(double distance) const {
    if (items_.size() < limit_) return !std::isnan(distance);
    return limit_ > 0 && distance < largest_;
  }

  // No distance above this is added: the largest held once full.
  double Limit() const {
    return items_.size() < limit_ || limit_ == 0 ? std::numeric_limits<double>::infinity() : largest_;
  }

  // Adds while there is room, else replaces the largest distance when it is
  // strictly greater; a distance already held (or NaN) is not added.
  void Offer(double distance, const T& value) {
    if (!Admits(distance)) return;
    // A full set gives up its largest first, even when the newcomer's
    // distance is already held and so is not added.
    if (items_.size() >= limit_) items_.erase(std::prev(items_.end()));
    items_.emplace(distance, value);
    largest_ = std::prev(items_.end())->first;
  }

  // Removes the pair holding `value` that has the largest distance and
  // returns that distance; false when no pair holds it.
  bool Remove(const T& value, double* distance) {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
      if (it->second != value) continue;
      *distance = it->first;
      items_.erase(std::next(it).base());
      largest_ = items_.empty() ? 0.0 : std::prev(items_.end())->first;
      return true;
    }
    return false;
  }

  const std::map<double, T>& Items() const { return items_; }

 private:
  size_t limit_;
  std::map<double, T> items_;
  double largest_ = 0.0;  // the largest distance held; meaningful when not empty
};

// Writes at most `count` candidates in ascending distance: their two-byte
// labels concatenated and NUL-terminated, and their distances when wanted.
// Returns the number written.
template <typename T, typename LabelOf>
int WriteCandidates(const std::map<double, T>& items, int count, LabelOf labelOf, char* labels, double* distances) {
  int written = 0;
  for (auto it = items.begin(); it != items.end() && written < count; ++it, ++written) {
    const std::string& label = labelOf(it->second);
    std::memcpy(labels + 2 * written, label.data(), 2);
    if (distances) distances[written] = it->first;
  }
  labels[2 * written] = '\0';
  return written;
}

#pragma once
// The classifiers' candidate lists: pairs ordered by distance, at most one per
// exact distance value and at most `limit` of them.
#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <string>

template <typename T>
class CandidateSet {
 public:
  explicit CandidateSet(size_t limit) : limit_(limit) {}

  // Adds while there is room, else replaces the largest distance when it is
  // strictly greater; a distance already held (or NaN) is not added.
  void Offer(double distance, const T& value) {
    if (std::isnan(distance)) return;
    if (items_.size() >= limit_) {
      if (items_.empty() || std::prev(items_.end())->first <= distance) return;
      items_.erase(std::prev(items_.end()));
    }
    items_.emplace(distance, value);
  }

  std::map<double, T>& Items() { return items_; }
  const std::map<double, T>& Items() const { return items_; }

 private:
  size_t limit_;
  std::map<double, T> items_;
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

#pragma once
// What X shows of one top-level window (its client rectangle on the screen,
// minimised, maximised), kept from the events the server and the window
// manager send and from the program's own requests, so that the echo of a
// request is told apart from a change the window manager made itself.
#include <deque>

#include "platform/win/WinTypes.h"

namespace vqplatform {

struct Placement {
  RECT rect{};
  bool minimised = false;
  bool maximised = false;
  bool operator==(const Placement& other) const;
};

class PlacementTracker {
 public:
  explicit PlacementTracker(const Placement& start) : shown_(start) {}

  // The program's requests, sent to X.
  void Requested(const RECT& rect);
  void RequestedMinimised(bool minimised) { shown_.minimised = minimised; }
  void RequestedMaximised(bool maximised) { shown_.maximised = maximised; }

  // What the events report; each returns true when X changed the window
  // itself rather than echoing a request.
  bool Configured(const RECT& rect);    // position and size known
  bool Resized(int width, int height);  // size only: the position follows
  bool Minimised(bool minimised);
  bool Maximised(bool maximised);

  const Placement& Shown() const { return shown_; }
  // A resize came without the position that goes with it.
  bool PositionUnsure() const { return positionUnsure_; }

 private:
  Placement shown_;
  std::deque<RECT> requests_;  // sent, not yet seen back; oldest first
  bool positionUnsure_ = false;
};

}  // namespace vqplatform

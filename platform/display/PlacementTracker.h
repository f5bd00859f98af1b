#pragma once
// What X shows of one top-level window (its client rectangle on the screen,
// the frame around it, minimised, maximised), kept from the events the
// server and the window manager send and from the program's own requests,
// so that the echo of a request is told apart from a change the window
// manager made itself.
#include <deque>

#include "platform/win/WinTypes.h"

namespace vqplatform {

struct Placement {
  RECT rect{};   // the client area on the screen
  RECT frame{};  // the widths of the window manager's frame around it
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
  // The window manager's frame. Before the window is shown the frame's
  // corner stays where it is and the client area moves inside it; once
  // shown, the window manager moves the client area itself.
  bool Framed(const RECT& frame, bool shown);

  const Placement& Shown() const { return shown_; }
  // A resize came without the position that goes with it.
  bool PositionUnsure() const { return positionUnsure_; }

 private:
  Placement shown_;
  std::deque<RECT> requests_;  // sent, not yet seen back; oldest first
  bool positionUnsure_ = false;
};

}  // namespace vqplatform

#pragma once
// The frames the window manager drew around top-level windows, remembered
// by their look, so that a new window's rectangle includes its frame from
// the start, as on Windows. Frames are widths in a RECT (left, top, right,
// bottom). Nothing is known headless or without a window manager: frames
// are empty there, and a window's rectangle is its client area.
#include "platform/display/WindowLook.h"

namespace vqplatform {

// The frame a window of this look is expected to get; empty when unknown.
RECT ExpectedFrame(const WindowLook& look);
// What the window manager reported for a window of this look, restored.
void RememberFrame(const WindowLook& look, const RECT& frame);
// The window manager went: frames are unknown again.
void ForgetFrames();

}  // namespace vqplatform

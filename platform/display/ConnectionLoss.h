#pragma once
// A lost X connection (logout, a display server that crashed) must not end
// the process from the thread that met the loss: Xlib's default exits right
// there, on the display thread, whose presenter then waits for itself at
// exit. A watched connection's loss is noted instead and the Xlib call
// returns; later calls on it return at once. Connections nobody watches
// keep Xlib's default.
#include <X11/Xlib.h>

#include <atomic>

namespace vqplatform {

// `*lost` turns true when the connection is gone.
void WatchConnectionLoss(Display* display, std::atomic<bool>* lost);
void ForgetConnectionLoss(Display* display);

}  // namespace vqplatform

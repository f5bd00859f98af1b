#pragma once
// A lost X connection (logout, a display server that crashed) must not end
// the process from the thread that met the loss: Xlib's default exits right
// there, on the display thread, whose presenter then waits for itself at
// exit. A watched connection's loss is noted instead and the Xlib call
// returns; later calls on it return at once. Connections nobody watches
// keep Xlib's default.
//
// A protocol error (a window that went between two requests, when a window
// manager or the program itself destroyed it) must not end the process
// either: Xlib's default prints it and exits. Errors of a connection whose
// errors are ignored are counted instead.
//
// Both handlers are process-wide: the ones they replaced are put back once
// the last connection is forgotten, so a host that unloads a library
// carrying the layer keeps handlers of its own.
#include <X11/Xlib.h>

#include <atomic>

namespace vqplatform {

// `*lost` turns true when the connection is gone.
void WatchConnectionLoss(Display* display, std::atomic<bool>* lost);
void ForgetConnectionLoss(Display* display);

// Protocol errors of the connection no longer end the process; other
// connections keep the handler they had.
void IgnoreProtocolErrors(Display* display);
void ForgetProtocolErrors(Display* display);
// The protocol errors ignored so far, on every connection.
unsigned long IgnoredProtocolErrors();

}  // namespace vqplatform

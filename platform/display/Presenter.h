#pragma once
// The X11 presenter: one display thread shows every visible top-level
// window as an X window (title, place, size, minimised and maximised, its
// owner as the window it belongs to), puts the window's composed surface on
// the screen whenever it was drawn, and turns X input into the messages of
// the window's own thread (InputDelivery.h). Each X window counts the
// pictures of it put on the server in _VQ_PRESENTS (CARDINAL), and with
// each picture describes its controls' ids, enabled states and texts in
// _VQ_CONTROLS (UTF-8), for tests. The window manager's close request
// becomes WM_CLOSE. Headless (Headless.h) none of this starts.
#include "platform/win/WinTypes.h"

namespace vqplatform {

// Starts the display thread on first use when there is a display, and
// wakes it; cheap, and safe to call with the dispatcher lock held. The
// window layer calls it whenever a top-level window needs painting.
void NotifyPresenter();

// Whether windows are shown on an X display.
bool PresenterActive();

// Waits until everything the window layer has drawn so far is on the X
// server; false on time-out or without a display.
bool FlushPresenter(int timeoutMs);

// The X window showing a top-level window; 0 when it is not shown.
unsigned long PresentedXWindow(HWND window);

// Closes every X window and the connection; a later NotifyPresenter starts
// again.
void StopPresenter();

// Called on the display thread once the X connection is lost (the windows
// live on unseen); installed by what decides the program's end. Null: none.
void SetDisplayLostHandler(void (*handler)());

}  // namespace vqplatform

#pragma once
// The icon of a top-level window on its X window (_NET_WM_ICON), for the
// window manager's title bar and task list.
#include <X11/Xlib.h>

#include "platform/win/WinTypes.h"

namespace vqplatform {

// Puts the window's big and small icons on its X window when they differ
// from what was put there last; removes the property when it has none.
// Called by the presenter's display thread only.
void SyncWindowIcon(Display* display, Window xwindow, HWND window);

}  // namespace vqplatform

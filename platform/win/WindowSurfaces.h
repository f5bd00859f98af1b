#pragma once
// The layer's own backing surfaces for windows. Each top-level window owns
// a surface, and so does each child window whose parent belongs to another
// thread; every other window draws into its surface owner's surface at its
// place, clipped to its ancestors. So no two threads draw into one surface.
// The presenter shows these surfaces; headless, they can be saved as PNG.
#include "platform/win/GdiSurface.h"

namespace vqplatform {

// The window that owns the surface a window draws into.
HWND SurfaceOwner(HWND window);

// The surface bitmap of a surface owner (created on first use, resized with
// the window); null for a window that is not a surface owner. The bitmap
// belongs to the window and goes away with it.
HBITMAP OwnedSurface(HWND owner);

// The provider over the window tree; used whenever no other is installed.
SurfaceProvider& WindowSurfaces();

}  // namespace vqplatform

// A window's shape: drawing into the window is clipped to the region
// (window coordinates), which then belongs to the system. Null: no shape.
int SetWindowRgn(HWND window, HRGN region, BOOL redraw);
// Copies the window's region into `region`; the region kind, or ERROR when
// the window has none.
int GetWindowRgn(HWND window, HRGN region);

#pragma once
// Activation as on Windows: each thread has at most one active top-level
// window, and the process's foreground window is the active window of the
// thread that has it. Activating sends WM_NCACTIVATE and WM_ACTIVATE to the
// window losing and the window gaining it, and WM_ACTIVATEAPP to every
// top-level window when the process gains or loses the foreground; the
// default handling then moves the keyboard focus (DefWindowProc to the
// window, a dialog to its last focused control). Showing a top-level window
// activates it, hiding or destroying the active one activates its owner.
#include "platform/win/WinTypes.h"

#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

// The calling thread's active window.
HWND GetActiveWindow();

namespace vqplatform {

// Whether a window can ever be active. Caption-less topmost pop-ups (menus,
// drop-down lists, tooltips) never are; neither are child windows.
bool IsActivatable(DWORD style, DWORD exStyle);

// The process's foreground window; null when another program has it.
HWND ForegroundWindowOfProcess();

// Activates a top-level window (on its own thread, later, when that is not
// the caller). A disabled window passes the activation on to the enabled
// window it owns, as its modal dialog. The focus goes into the window unless
// the caller is about to place it. Returns the window activated, null when
// none could be.
HWND ActivateTopLevel(HWND hwnd, WORD how, bool moveFocus = true);

// Another program took the foreground.
void DeactivateProcess();

// Called on the window's thread before it is hidden or destroyed: when it
// is active, its owner takes over where it can.
void PassActivationOn(HWND hwnd);

}  // namespace vqplatform

#pragma once
// The mouse pointer: its screen position, the window under it, hover and
// leave tracking, and a test mouse that moves, presses and releases it as a
// user's mouse does. Messages go to the capture window of the calling
// thread when there is one, else to the window under the pointer.
#include "platform/display/Cursors.h"
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

#define TME_HOVER 0x00000001
#define TME_LEAVE 0x00000002
#define TME_QUERY 0x40000000
#define TME_CANCEL 0x80000000
#define HOVER_DEFAULT 0xFFFFFFFF

struct TRACKMOUSEEVENT {
  DWORD cbSize;
  DWORD dwFlags;
  HWND hwndTrack;
  DWORD dwHoverTime;
};
using LPTRACKMOUSEEVENT = TRACKMOUSEEVENT*;

// Moves the pointer (GetCursorPos reads it back).
BOOL SetCursorPos(int x, int y);
// The deepest visible window whose rectangle (and window region, when it
// has one) holds the screen point; null for none.
HWND WindowFromPoint(POINT point);
// TME_LEAVE posts WM_MOUSELEAVE once the pointer leaves the window; TME_HOVER
// posts WM_MOUSEHOVER once while the pointer rests inside (the layer counts
// the hover time as elapsed when the pointer is inside at the request).
// TME_CANCEL removes the given kinds; TME_QUERY fills in what is tracked.
BOOL TrackMouseEvent(LPTRACKMOUSEEVENT track);
inline BOOL _TrackMouseEvent(LPTRACKMOUSEEVENT track) { return TrackMouseEvent(track); }

namespace vqplatform {

// Input sources (the presenter, the test mouse) report every pointer move
// here: it updates the cursor position and ends leave tracking for windows
// the pointer is no longer over.
void NotePointerMoved(POINT screen);
// The pointer left a top-level window for `screen`, a place the layer may
// not know (the desktop, another program's window): the cursor is there,
// and leave tracking ends for the window and everything inside it.
void NotePointerLeft(HWND top, POINT screen);
// Brings NotePointerLeft to the window's thread in order with the mouse
// messages posted to it before.
void PostPointerLeft(HWND top, POINT screen);
// What Windows does when the mouse capture ends: the window under the
// pointer gets a WM_MOUSEMOVE at the pointer's position, so that it can
// track the pointer again.
void PostMouseMoveAtPointer();

// The test mouse, at a point of a window's client area. Each call posts what
// a real mouse would; pump the queue between calls so a capture taken by the
// press is in force for the next move.
bool MoveMouse(HWND window, POINT client, bool leftDown = false);
bool PressLeft(HWND window, POINT client);
bool ReleaseLeft(HWND window, POINT client);

}  // namespace vqplatform

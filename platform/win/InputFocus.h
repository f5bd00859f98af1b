#pragma once
// Keyboard focus, mouse capture and key state, per thread as on Windows.
// SetFocus sends WM_KILLFOCUS to the window losing the focus and
// WM_SETFOCUS to the one gaining it.
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
// High bit set while the key is down (as the input source reported it).
SHORT GetKeyState(int virtualKey);
int MulDiv(int number, int numerator, int denominator);

namespace vqplatform {
// Called by the input source for every key it delivers.
void SetKeyDown(int virtualKey, bool down);
}  // namespace vqplatform

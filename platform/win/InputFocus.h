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

// System-wide hot keys: registrations are kept (a key or an id of a window
// taken twice is refused) but no WM_HOTKEY is ever delivered.
#define MOD_ALT 0x0001
#define MOD_CONTROL 0x0002
#define MOD_SHIFT 0x0004
#define MOD_WIN 0x0008
#define WM_HOTKEY 0x0312
#define ERROR_HOTKEY_ALREADY_REGISTERED 1409L
#define ERROR_HOTKEY_NOT_REGISTERED 1419L
BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT virtualKey);
BOOL UnregisterHotKey(HWND hwnd, int id);

namespace vqplatform {
// Called by the input source for every key it delivers.
void SetKeyDown(int virtualKey, bool down);
}  // namespace vqplatform

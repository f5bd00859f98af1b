#pragma once
// Turns input the display reports for a top-level window into the messages
// a user's mouse and keyboard produce, on the thread that owns the window:
// the same messages the headless input helpers post (TestInput.h), with
// capture, focus, double clicks and the cursor applied there.
#include <functional>
#include <string>

#include "platform/win/WinTypes.h"

namespace vqplatform {

// Runs `task` on the thread owning `hwnd` the next time it handles sent
// messages, without waiting; false (and nothing happens) when the window is
// gone. A task still queued when the window goes is dropped.
bool RunLaterOnWindowThread(HWND hwnd, std::function<void()> task);

enum class MouseAction { Move, Press, Release, WheelUp, WheelDown };

struct MouseInput {
  MouseAction action = MouseAction::Move;
  int button = 1;         // 1 left, 2 middle, 3 right
  POINT screen{0, 0};     // pointer position on the screen
  WPARAM keys = 0;        // MK_ flags as they were before the event
  DWORD timeMs = 0;       // the display's time stamp
};

// Delivers one mouse event that the display saw over top-level `top`; a
// press activates the window (a disabled one its modal dialog).
void DeliverMouse(HWND top, const MouseInput& input);

// The display saw the pointer leave top-level `top` for `screen`: the
// window's thread learns it after the mouse messages delivered before.
void DeliverPointerLeft(HWND top, POINT screen);

// Delivers a key press or release to the focus of the window's thread: the
// virtual key (0: none) and, for a press, the characters it typed.
void DeliverKey(HWND top, int virtualKey, bool down, const std::wstring& text);

// The virtual key of an X key symbol, 0 when there is none.
int VirtualKeyOfKeysym(unsigned long keysym);

}  // namespace vqplatform

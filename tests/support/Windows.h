#pragma once
// The layer's windows of this process as a test works them: texts read,
// buttons pressed by their control ids, windows found by their controls or
// their text, places on the screen, and this thread's messages served while
// a test waits.
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/win/DialogTemplate.h"
#include "platform/win/WinTypes.h"
#include "tests/support/TestEnv.h"

namespace vqtest {

// A window's own text, and a control's.
std::wstring TextOf(HWND window);
std::wstring TextOf(HWND dialog, int id);
// The first column of each row of a list view.
std::vector<std::wstring> ListRows(HWND list);
// A click on a button of a window of another thread: returns once its
// handler has ended.
void Press(HWND dialog, int id);
// The same without waiting, for buttons that open a modal dialog.
void PressLater(HWND dialog, int id);

// The first visible top-level window of this process that matches.
HWND ShownWindow(const std::function<bool(HWND)>& matches);
// The first that holds the control (and the other one, when given): a
// dialog found by its controls.
HWND ShownWindowWith(int controlId, int otherControlId = 0);
// Whether a control of the window says `text` (a message box its message).
bool Says(HWND window, const std::wstring& text);
// Runs `work` once, on the program's thread, from the modal loop of the
// next dialog other than `owner` to be idle (the dialog a test opens next).
void OnNextDialog(HWND owner, std::function<void(HWND dialog)> work);
// Clicks item `index` of a tab control, as the user would.
bool ClickTab(HWND tab, int index);
// The page of a tab control (a child dialog) that holds the control.
HWND PageWith(HWND tab, int controlId);
// Runs `work` on a thread of the program the next time one of its modal
// loops has nothing to do (given the loop's dialog), and waits for it:
// what only that thread knows (its focus), or what only it may do.
bool OnIdleModalLoop(DWORD threadId, const std::function<void(HWND dialog)>& work);
// The tests' one message pump: serves this thread's messages as one modal
// loop of the layer (RunModalLoop: each message offered to the thread's
// pre-translation, deferred work run as in the program) until the condition
// holds or the limit passes; true when it holds. The condition is looked at
// whenever the queue is empty and every few messages (a queue that refills
// as fast as it drains does not hold the wait); with nothing queued the
// thread waits for input, and looks again at least every few milliseconds
// for what other threads change. A WM_QUIT ends the pump and stays queued
// for the loops outside (QuitQueued tells); it is never dispatched.
bool Pump(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPatience);
// Pumps until this thread's queue is empty and every other thread of the
// layer waits again (Clock::ThreadsAtWork): what was asked of them, and what
// that asked of others, is done. On the manual clock nothing then happens
// until the clock moves.
bool Settle(std::chrono::milliseconds limit = kPatience);
// Serves what is queued for this thread now (sent and posted messages,
// paints, timers due) and returns once the queue is empty.
void DispatchQueued(HWND window = nullptr);
// Serves every message posted to this thread before the call (and any
// thread message among them), through the same loop; false past the limit.
bool DispatchPosted(std::chrono::milliseconds limit = kPatience);
// Whether a WM_QUIT waits in this thread's queue: the program asked to end.
bool QuitQueued();

// A window's rectangle on the screen (a top-level window's frame), its
// client area there, and its middle.
RECT ScreenRectOf(HWND hwnd);
RECT ClientRectOnScreen(HWND hwnd);
POINT MiddleOf(HWND hwnd);
// Whether two rectangles have the same corners.
bool SameRect(const RECT& a, const RECT& b);
// Where a control of a dialog template lies in the dialog's client area, in
// pixels; and the middle of it on the screen, the client area lying at `client`.
RECT ControlPixels(const DialogTemplate& dialog, int id);
POINT ControlCentre(const DialogTemplate& dialog, const RECT& client, int id);

}  // namespace vqtest

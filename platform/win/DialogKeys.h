#pragma once
// The dialog manager's keyboard: Tab and Shift+Tab through the tab stops
// (into pages and other control parents), Return for the default button,
// Esc for cancel, arrow keys within a group of radio buttons. Every message
// loop of a thread offers each message to PreTranslateThreadMessage before
// it dispatches it, so every dialog, modal or modeless, has these keys.
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

namespace vqplatform {

// Keyboard and mouse messages, which a dialog's manager sees first.
bool IsInputMessage(UINT message);

// The pre-translation of a message taken from the thread's queue: the hook
// a framework installed first (its windows' own pre-translation, from the
// message's window up through its parents and owners), then the dialog
// manager of the dialog the input is for. True when the message was handled
// and is not to be dispatched.
bool PreTranslateThreadMessage(MSG* msg);
using PreTranslateHook = bool (*)(MSG* msg);
void SetPreTranslateHook(PreTranslateHook hook);

// The outermost dialog a dialog or control parent lies in: keys move
// through all of it.
HWND OuterDialog(HWND dialog);
// Moves the focus to a control; edits get their whole text selected.
void FocusControl(HWND control);
// What a control wants of the keys (WM_GETDLGCODE), 0 without a control.
LRESULT DialogCode(HWND control, const MSG* msg);
// The cancel command, as Esc gives it (nothing while Cancel is disabled).
void PressCancel(HWND dialog);
// A control being disabled that holds the focus passes it on to the next
// control of its dialog (or to its top-level window), so the keys still
// reach the dialog.
void PassFocusFromDisabled(HWND window);

}  // namespace vqplatform

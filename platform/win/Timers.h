#pragma once
// Timers: WM_TIMER for a window (or a TIMERPROC call) every interval of the
// layer's clock. Like on Windows, a due timer yields one WM_TIMER when the
// queue is otherwise empty; missed periods do not pile up.
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

#define USER_TIMER_MINIMUM 0x0000000A
#define USER_TIMER_MAXIMUM 0x7FFFFFFF

// With a window: replaces the window's timer of the same id and returns the
// id (a window of another thread is refused). Without: a new thread timer
// whose id is returned.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

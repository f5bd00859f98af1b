#pragma once
// Per-thread message queues: posting, sending (blocking across threads),
// retrieving and dispatching. A thread gets its queue on first use.
//
// A message sent to a window of another thread waits until that thread
// handles it, which it does only inside GetMessage, PeekMessage, WaitMessage
// or a SendMessage of its own (so two threads may send to each other).
// Retrieval order: sent messages, posted messages, WM_QUIT (a per-thread
// flag, not a queued message), WM_PAINT, WM_TIMER.
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

#define ERROR_NOT_ENOUGH_QUOTA 1816L

// A queue holds at most 10000 posted messages; further posts fail with
// ERROR_NOT_ENOUGH_QUOTA until it is drained.
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Filters: hwnd null = any message of the thread; (HWND)-1 = thread
// messages only; else the window and its descendants. A zero range takes
// every message; WM_QUIT passes any filter. GetMessage returns 0 for
// WM_QUIT and -1 for a bad window filter.
BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// Blocks until the queue has something new (sent messages are handled).
BOOL WaitMessage();
// Non-zero (`flags` in the high word) when input of the QS_ kinds in
// `flags` waits in the calling thread's queue; nothing is handled or taken.
DWORD GetQueueStatus(UINT flags);
// Waits for one of the objects or for queue input of the QS_ kinds in
// `wakeMask`: WAIT_OBJECT_0 + i for object i, WAIT_OBJECT_0 + count for
// input. Sent messages are not answered here: the caller peeks for them.
// Input already queued counts (not only input newer than the last peek);
// waitAll is not supported (WAIT_FAILED).
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask);
// Waits for `handle` (usually a thread being joined) while answering the
// messages other threads send to this one, so a worker blocked in a
// SendMessage to the joining thread still finishes. Posted messages stay
// queued. WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED.
DWORD WaitServingSentMessages(HANDLE handle, DWORD milliseconds);
// Keyboard input arrives with its WM_CHAR already queued by the input
// source, so translation adds nothing.
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);

namespace vqplatform {

// The quit of any thread of the layer, as its own PostQuitMessage would
// ask it (a signal, a lost display): the thread's quit flag, which its
// loops see once the queue holds nothing else posted. False when there is
// no such thread.
bool PostQuitToThread(DWORD threadId, int exitCode);
// Whether the calling thread's quit flag is set, left for its loops.
bool QuitPosted();

// A message of the layer's own that one of its modules posts to a window to
// run its code on the window's thread in order with the messages before it:
// DispatchMessage calls the handler the module installed instead of the
// window. `input` makes it count as user input, which sent input waits for.
using LayerMessageHandler = void (*)(const MSG& msg);
void InstallLayerMessage(UINT message, LayerMessageHandler handler, bool input);

}  // namespace vqplatform

inline BOOL PostMessage(HWND h, UINT m, WPARAM w, LPARAM l) { return PostMessageW(h, m, w, l); }
inline BOOL PostThreadMessage(DWORD t, UINT m, WPARAM w, LPARAM l) { return PostThreadMessageW(t, m, w, l); }
inline LRESULT SendMessage(HWND h, UINT m, WPARAM w, LPARAM l) { return SendMessageW(h, m, w, l); }
inline BOOL GetMessage(LPMSG msg, HWND h, UINT a, UINT b) { return GetMessageW(msg, h, a, b); }
inline BOOL PeekMessage(LPMSG msg, HWND h, UINT a, UINT b, UINT f) { return PeekMessageW(msg, h, a, b, f); }
inline LRESULT DispatchMessage(const MSG* msg) { return DispatchMessageW(msg); }

#pragma once
// Threads: creation, ids, exit codes and the per-thread last error. A thread
// handle is waitable and becomes signalled when the thread ends.
#include "platform/win/Handles.h"
#include "platform/win/WinTypes.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

#define CREATE_SUSPENDED 0x00000004

// CREATE_SUSPENDED is not supported (FALSE-like failure: null handle).
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
// Ends the calling thread with `exitCode`, unwinding its stack. Only for
// threads started by CreateThread (elsewhere it ends the process).
[[noreturn]] void ExitThread(DWORD exitCode);
DWORD GetCurrentThreadId();
// STILL_ACTIVE while the thread runs, then the value its routine returned.
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);

DWORD GetLastError();
void SetLastError(DWORD error);

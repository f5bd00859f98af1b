#pragma once
// Synchronisation: events (auto and manual reset; named ones shared in the
// process), waits with time-outs on any waitable handle, re-entrant critical
// sections, interlocked operations and Sleep.
#include <mutex>

#include "platform/win/Handles.h"
#include "platform/win/WinTypes.h"

#define MAXIMUM_WAIT_OBJECTS 64
#define SYNCHRONIZE 0x00100000L
#define EVENT_MODIFY_STATE 0x0002
#define EVENT_ALL_ACCESS 0x1F0003

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCWSTR name);
HANDLE OpenEventW(DWORD desiredAccess, BOOL inheritHandle, LPCWSTR name);
inline HANDLE CreateEvent(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                          LPCWSTR name) {
  return CreateEventW(attributes, manualReset, initialState, name);
}
inline HANDLE OpenEvent(DWORD desiredAccess, BOOL inheritHandle, LPCWSTR name) {
  return OpenEventW(desiredAccess, inheritHandle, name);
}
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Waits do not handle sent messages (a thread blocked here does not answer a
// SendMessage to its windows), as on Windows; MsgWaitForMultipleObjects and
// WaitServingSentMessages (MessageQueue.h) are the waits that do.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
void Sleep(DWORD milliseconds);

// A critical section may be entered again by the thread that holds it.
struct CRITICAL_SECTION {
  std::recursive_mutex mutex;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);

inline LONG InterlockedIncrement(LONG volatile* value) {
  return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* value) {
  return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchange(LONG volatile* target, LONG value) {
  return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(LONG volatile* target, LONG value) {
  return __atomic_fetch_add(target, value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedCompareExchange(LONG volatile* target, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(target, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}

#pragma once
// MFC's synchronisation wrappers over the Win32 objects of the layer.
#include "platform/win/Sync.h"
#include "platform/win/WinTypes.h"

class CSyncObject {
 public:
  virtual ~CSyncObject() = default;
  virtual BOOL Lock(DWORD timeout = INFINITE) = 0;
  virtual BOOL Unlock() = 0;
};

// Re-entrant on the thread that holds it.
class CCriticalSection : public CSyncObject {
 public:
  CCriticalSection() { InitializeCriticalSection(&section_); }
  ~CCriticalSection() override { DeleteCriticalSection(&section_); }
  CCriticalSection(const CCriticalSection&) = delete;
  CCriticalSection& operator=(const CCriticalSection&) = delete;

  // A finite time-out only tries once: the lock is taken or not at once.
  BOOL Lock(DWORD timeout = INFINITE) override;
  BOOL Unlock() override;
  operator CRITICAL_SECTION*() { return &section_; }

 private:
  CRITICAL_SECTION section_;
};

class CEvent : public CSyncObject {
 public:
  explicit CEvent(BOOL initiallyOwn = FALSE, BOOL manualReset = FALSE, LPCWSTR name = nullptr,
                  LPSECURITY_ATTRIBUTES attributes = nullptr);
  ~CEvent() override;
  CEvent(const CEvent&) = delete;
  CEvent& operator=(const CEvent&) = delete;

  BOOL SetEvent();
  BOOL ResetEvent();
  // Waits for the event; FALSE on time-out.
  BOOL Lock(DWORD timeout = INFINITE) override;
  BOOL Unlock() override { return TRUE; }
  operator HANDLE() const { return handle_; }

 private:
  HANDLE handle_;
};

// Holds a sync object for a scope.
class CSingleLock {
 public:
  explicit CSingleLock(CSyncObject* object, BOOL initialLock = FALSE);
  ~CSingleLock() { Unlock(); }
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;

  BOOL Lock(DWORD timeout = INFINITE);
  BOOL Unlock();
  BOOL IsLocked() const { return locked_; }

 private:
  CSyncObject* object_;
  BOOL locked_ = FALSE;
};

#include "platform/mfc/SyncObjects.h"

BOOL CCriticalSection::Lock(DWORD timeout) {
  if (timeout == INFINITE) {
    EnterCriticalSection(&section_);
    return TRUE;
  }
  return TryEnterCriticalSection(&section_);
}

BOOL CCriticalSection::Unlock() {
  LeaveCriticalSection(&section_);
  return TRUE;
}

CEvent::CEvent(BOOL initiallyOwn, BOOL manualReset, LPCWSTR name, LPSECURITY_ATTRIBUTES attributes)
    : handle_(CreateEventW(attributes, manualReset, initiallyOwn, name)) {}

CEvent::~CEvent() {
  if (handle_) CloseHandle(handle_);
}

BOOL CEvent::SetEvent() { return ::SetEvent(handle_); }

BOOL CEvent::ResetEvent() { return ::ResetEvent(handle_); }

BOOL CEvent::Lock(DWORD timeout) { return WaitForSingleObject(handle_, timeout) == WAIT_OBJECT_0; }

CSingleLock::CSingleLock(CSyncObject* object, BOOL initialLock) : object_(object) {
  if (initialLock) Lock();
}

BOOL CSingleLock::Lock(DWORD timeout) {
  if (!object_ || locked_) return locked_;
  locked_ = object_->Lock(timeout);
  return locked_;
}

BOOL CSingleLock::Unlock() {
  if (!object_ || !locked_) return TRUE;
  locked_ = !object_->Unlock();
  return !locked_;
}

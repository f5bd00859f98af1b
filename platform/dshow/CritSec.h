#pragma once
// Re-entrant lock of the DirectShow base classes and its scoped holder.
#include <mutex>

class CCritSec {
 public:
  void Lock() { m_.lock(); }
  void Unlock() { m_.unlock(); }

 private:
  std::recursive_mutex m_;
};

class CAutoLock {
 public:
  explicit CAutoLock(CCritSec* lock) : lock_(lock) { lock_->Lock(); }
  ~CAutoLock() { lock_->Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCritSec* lock_;
};

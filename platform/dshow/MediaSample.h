#pragma once
// Media samples and the memory allocator that pools them. A sample returns to
// its allocator when its last reference goes.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/dshow/Interfaces.h"

class CMemAllocator;

class CMediaSample : public IMediaSample {
 public:
  // A free-standing sample over its own buffer (tests and one-off use).
  explicit CMediaSample(long size);
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT GetPointer(BYTE** buffer) override;
  long GetSize() override { return long(buffer_.size()); }
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  HRESULT IsSyncPoint() override { return syncPoint_ ? S_OK : S_FALSE; }
  HRESULT SetSyncPoint(BOOL on) override;
  HRESULT IsPreroll() override { return preroll_ ? S_OK : S_FALSE; }
  HRESULT SetPreroll(BOOL on) override;
  long GetActualDataLength() override { return actualLength_; }
  HRESULT SetActualDataLength(long length) override;
  HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
  HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT IsDiscontinuity() override { return discontinuity_ ? S_OK : S_FALSE; }
  HRESULT SetDiscontinuity(BOOL on) override;
  HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) override;
  HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) override;

 private:
  friend class CMemAllocator;
  CMediaSample(CMemAllocator* owner, long size);
  void ResetProperties();

  CMemAllocator* owner_ = nullptr;
  std::atomic<ULONG> refs_{1};
  std::vector<BYTE> buffer_;
  long actualLength_ = 0;
  bool timeValid_ = false, stopValid_ = false, mediaTimeValid_ = false;
  REFERENCE_TIME start_ = 0, end_ = 0;
  LONGLONG mediaStart_ = 0, mediaEnd_ = 0;
  bool syncPoint_ = false, preroll_ = false, discontinuity_ = false;
  std::unique_ptr<CMediaType> type_;
};

class CMemAllocator : public IMemAllocator {
 public:
  static CMemAllocator* Create();  // one reference
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override;
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) override;
  HRESULT Commit() override;
  HRESULT Decommit() override;
  // Waits for a free sample while committed.
  HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags) override;
  HRESULT ReleaseBuffer(IMediaSample* sample) override;

 private:
  CMemAllocator() = default;
  ~CMemAllocator() override;
  void ReturnSample(CMediaSample* sample);
  friend class CMediaSample;

  vq::dshow::RefCount refs_;
  std::mutex lock_;
  std::condition_variable freed_;
  ALLOCATOR_PROPERTIES props_{};
  bool committed_ = false;
  std::vector<CMediaSample*> free_;
  int outstanding_ = 0;
};

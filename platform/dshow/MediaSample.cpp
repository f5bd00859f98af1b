#include "platform/dshow/MediaSample.h"

CMediaSample::CMediaSample(long size) : buffer_(size_t(size > 0 ? size : 0)) {}

CMediaSample::CMediaSample(CMemAllocator* owner, long size) : owner_(owner), buffer_(size_t(size)) {}

HRESULT CMediaSample::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IMediaSample) {
    *out = static_cast<IMediaSample*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CMediaSample::AddRef() { return ++refs_; }

ULONG CMediaSample::Release() {
  ULONG n = --refs_;
  if (n == 0) {
    if (owner_)
      owner_->ReturnSample(this);
    else
      delete this;
  }
  return n;
}

void CMediaSample::ResetProperties() {
  actualLength_ = 0;
  timeValid_ = stopValid_ = mediaTimeValid_ = false;
  syncPoint_ = preroll_ = discontinuity_ = false;
  type_.reset();
}

HRESULT CMediaSample::GetPointer(BYTE** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = buffer_.data();
  return S_OK;
}

HRESULT CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  if (!start || !end) return E_POINTER;
  if (!timeValid_) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = start_;
  if (!stopValid_) {
    *end = start_ + 1;
    return VFW_S_NO_STOP_TIME;
  }
  *end = end_;
  return S_OK;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  timeValid_ = start != nullptr;
  stopValid_ = start && end;
  if (start) start_ = *start;
  if (end) end_ = *end;
  return S_OK;
}

HRESULT CMediaSample::SetSyncPoint(BOOL on) {
  syncPoint_ = on;
  return S_OK;
}

HRESULT CMediaSample::SetPreroll(BOOL on) {
  preroll_ = on;
  return S_OK;
}

HRESULT CMediaSample::SetActualDataLength(long length) {
  if (length < 0 || size_t(length) > buffer_.size()) return VFW_E_BUFFER_OVERFLOW;
  actualLength_ = length;
  return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
  if (!type) return E_POINTER;
  *type = nullptr;
  if (!type_) return S_FALSE;
  *type = CreateMediaType(type_.get());
  return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* type) {
  if (!type) {
    type_.reset();
    return S_OK;
  }
  type_ = std::make_unique<CMediaType>(*type);
  return S_OK;
}

HRESULT CMediaSample::SetDiscontinuity(BOOL on) {
  discontinuity_ = on;
  return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* start, LONGLONG* end) {
  if (!start || !end) return E_POINTER;
  if (!mediaTimeValid_) return VFW_E_MEDIA_TIME_NOT_SET;
  *start = mediaStart_;
  *end = mediaEnd_;
  return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* start, LONGLONG* end) {
  mediaTimeValid_ = start && end;
  if (mediaTimeValid_) {
    mediaStart_ = *start;
    mediaEnd_ = *end;
  }
  return S_OK;
}

CMemAllocator* CMemAllocator::Create() { return new CMemAllocator(); }

CMemAllocator::~CMemAllocator() {
  for (CMediaSample* s : free_) delete s;
}

HRESULT CMemAllocator::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IMemAllocator) {
    *out = static_cast<IMemAllocator*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CMemAllocator::Release() {
  ULONG n = refs_.Drop();
  if (n == 0) delete this;
  return n;
}

HRESULT CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (!request || !actual) return E_POINTER;
  std::lock_guard lock(lock_);
  if (committed_ || outstanding_ > 0) return VFW_E_WRONG_STATE;
  if (request->cBuffers <= 0 || request->cbBuffer <= 0) return E_INVALIDARG;
  for (CMediaSample* s : free_) delete s;
  free_.clear();
  props_ = *request;
  props_.cbAlign = request->cbAlign > 0 ? request->cbAlign : 1;
  *actual = props_;
  return S_OK;
}

HRESULT CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  std::lock_guard lock(lock_);
  *props = props_;
  return S_OK;
}

HRESULT CMemAllocator::Commit() {
  std::lock_guard lock(lock_);
  if (props_.cBuffers <= 0) return VFW_E_WRONG_STATE;
  if (committed_) return S_OK;
  try {
    while (long(free_.size()) + outstanding_ < props_.cBuffers) free_.push_back(new CMediaSample(this, props_.cbBuffer));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  committed_ = true;
  return S_OK;
}

HRESULT CMemAllocator::Decommit() {
  std::lock_guard lock(lock_);
  committed_ = false;
  freed_.notify_all();
  return S_OK;
}

HRESULT CMemAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  CMediaSample* s = nullptr;
  {
    std::unique_lock lock(lock_);
    freed_.wait(lock, [&] { return !committed_ || !free_.empty(); });
    if (!committed_) return VFW_E_NOT_COMMITTED;
    s = free_.back();
    free_.pop_back();
    ++outstanding_;
  }
  AddRef();  // held by the outstanding sample
  s->refs_ = 1;
  s->ResetProperties();
  if (start) s->SetTime(start, end);
  *sample = s;
  return S_OK;
}

HRESULT CMemAllocator::ReleaseBuffer(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  return S_OK;
}

void CMemAllocator::ReturnSample(CMediaSample* sample) {
  {
    std::lock_guard lock(lock_);
    --outstanding_;
    if (committed_ || long(free_.size()) < props_.cBuffers)
      free_.push_back(sample);
    else
      delete sample;
    freed_.notify_one();
  }
  Release();
}

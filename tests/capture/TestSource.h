#pragma once
// A source filter for tests of downstream filters: one output pin offering
// one media type, and samples pushed through it by the test.
#include <cstring>
#include <vector>

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/MediaSample.h"

namespace vqtest {

// A filter with one output pin offering one media type; tests push samples through it.
class TestSource : public CBaseFilter {
 public:
  explicit TestSource(const CMediaType& type) : CBaseFilter(L"Test Source", &lock_), pin_(this, &lock_, type) {}
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }
  HRESULT Push(const std::vector<BYTE>& bytes, REFERENCE_TIME start) {
    IMediaSample* sample = nullptr;
    HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    std::memcpy(p, bytes.data(), bytes.size());
    sample->SetActualDataLength(long(bytes.size()));
    REFERENCE_TIME end = start + 1000;
    sample->SetTime(&start, &end);
    hr = pin_.Deliver(sample);
    sample->Release();
    return hr;
  }

 private:
  class Pin : public CBaseOutputPin {
   public:
    Pin(CBaseFilter* f, CCritSec* l, const CMediaType& t) : CBaseOutputPin(f, l, L"Out"), type_(t) {}
    HRESULT CheckMediaType(const CMediaType* t) override { return *t == type_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED; }
    HRESULT GetMediaType(int position, CMediaType* t) override {
      if (position != 0) return VFW_S_NO_MORE_ITEMS;
      *t = type_;
      return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* a, ALLOCATOR_PROPERTIES* p) override {
      p->cBuffers = 2;
      p->cbBuffer = 1 << 20;
      ALLOCATOR_PROPERTIES actual{};
      return a->SetProperties(p, &actual);
    }
    CMediaType type_;
  };
  CCritSec lock_;
  Pin pin_;
};

}  // namespace vqtest

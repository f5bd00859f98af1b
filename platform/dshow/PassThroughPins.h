#pragma once
// Pins of filters that hand their input samples on unchanged (the tee and
// the sample grabber): the input asks its filter which types it takes and
// passes every sample to it; an output offers the input's type.
#include "platform/dshow/BaseFilter.h"

class CPassThroughFilter : public CBaseFilter {
 public:
  using CBaseFilter::CBaseFilter;
  virtual HRESULT CheckInput(const CMediaType* type) = 0;
  virtual HRESULT ReceiveSample(IMediaSample* sample) = 0;
  virtual CBasePin* InputPin() = 0;
  virtual void OutputConnected() {}
};

class CPassThroughInputPin : public CBaseInputPin {
 public:
  CPassThroughInputPin(CPassThroughFilter* filter, CCritSec* lock, const wchar_t* name)
      : CBaseInputPin(filter, lock, name), owner_(filter) {}
  HRESULT CheckMediaType(const CMediaType* type) override { return owner_->CheckInput(type); }
  HRESULT Receive(IMediaSample* sample) override {
    HRESULT hr = CBaseInputPin::Receive(sample);
    return hr == S_OK ? owner_->ReceiveSample(sample) : hr;
  }

 private:
  CPassThroughFilter* owner_;
};

class CPassThroughOutputPin : public CBaseOutputPin {
 public:
  CPassThroughOutputPin(CPassThroughFilter* filter, CCritSec* lock, const wchar_t* name)
      : CBaseOutputPin(filter, lock, name), owner_(filter) {}
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;
  HRESULT CompleteConnect(IPin* receiver) override;

 private:
  CPassThroughFilter* owner_;
};

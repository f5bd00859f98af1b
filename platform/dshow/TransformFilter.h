#pragma once
// CTransformFilter: one input pin, one output pin, one output sample made
// for every input sample. Derived filters decide the types, the buffer size
// and the transform.
#include "platform/dshow/BaseFilter.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
 public:
  CTransformInputPin(CTransformFilter* filter, CCritSec* lock);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT CompleteConnect(IPin* receiver) override;
  HRESULT BreakConnect() override;
  HRESULT Receive(IMediaSample* sample) override;

 private:
  CTransformFilter* transform_;
};

class CTransformOutputPin : public CBaseOutputPin {
 public:
  CTransformOutputPin(CTransformFilter* filter, CCritSec* lock);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;
  HRESULT CompleteConnect(IPin* receiver) override;
  HRESULT BreakConnect() override;

 private:
  CTransformFilter* transform_;
};

class CTransformFilter : public CBaseFilter {
 public:
  CTransformFilter(const wchar_t* name, IUnknown* outer, REFCLSID clsid);
  ~CTransformFilter() override;

  int GetPinCount() override { return 2; }
  CBasePin* GetPin(int n) override;

  virtual HRESULT CheckInputType(const CMediaType* in) = 0;
  virtual HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) = 0;
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) = 0;
  virtual HRESULT GetMediaType(int position, CMediaType* type) = 0;
  // S_OK delivers the output sample, S_FALSE drops it.
  virtual HRESULT Transform(IMediaSample* in, IMediaSample* out);
  // Makes an output sample, transforms into it and delivers it.
  virtual HRESULT Receive(IMediaSample* sample);
  virtual HRESULT SetMediaType(PIN_DIRECTION dir, const CMediaType* type);
  virtual HRESULT CompleteConnect(PIN_DIRECTION dir, IPin* receiver);
  virtual HRESULT BreakConnect(PIN_DIRECTION dir);

 protected:
  CCritSec m_csFilter;
  CCritSec m_csReceive;
  CTransformInputPin* m_pInput;
  CTransformOutputPin* m_pOutput;
};

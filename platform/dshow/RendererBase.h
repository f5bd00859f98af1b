#pragma once
// Base classes of a video renderer filter: the filter with its one input pin,
// which hands every sample that arrives while the graph is not stopped to
// the filter's DoRenderSample, and the class-factory table entry.
#include <atomic>

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/MediaType.h"

#ifndef EC_USERABORT
#define EC_USERABORT 0x02
#endif
#ifndef EC_VIDEO_SIZE_CHANGED
#define EC_VIDEO_SIZE_CHANGED 0x0A
#endif
#ifndef EC_ACTIVATE
#define EC_ACTIVATE 0x13
#endif

class CBaseVideoRenderer;

class CRendererInputPin : public CBaseInputPin {
 public:
  CRendererInputPin(CBaseVideoRenderer* renderer, HRESULT* result, const wchar_t* name);

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT CompleteConnect(IPin* receiver) override;
  HRESULT BreakConnect() override;
  HRESULT Receive(IMediaSample* sample) override;

 protected:
  CBaseVideoRenderer* renderer_;
};

class CBaseVideoRenderer : public CBaseFilter {
 public:
  CBaseVideoRenderer(REFCLSID clsid, const wchar_t* name, CCritSec* lock);

  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override;
  virtual CRendererInputPin* GetInputPin() = 0;

  virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
  virtual HRESULT SetMediaType(const CMediaType*) { return S_OK; }
  virtual HRESULT CompleteConnect(IPin*) { return S_OK; }
  virtual HRESULT BreakConnect() { return S_OK; }
  virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;

  // Renders a sample while paused or running.
  HRESULT Receive(IMediaSample* sample);
  long FramesDrawn() const { return framesDrawn_; }
  const CLSID& ClassId() const { return clsid_; }

 private:
  CLSID clsid_;
  std::atomic<long> framesDrawn_{0};
};

// One entry of a module's class-factory table.
struct CFactoryTemplate {
  const wchar_t* m_Name;
  const CLSID* m_ClsID;
  IUnknown* (*m_lpfnNew)(IUnknown* outer, HRESULT* result);
  DWORD m_dwMerit;
};

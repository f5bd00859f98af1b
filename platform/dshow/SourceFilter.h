#pragma once
// Base classes of a filter that pushes samples of its own: CSource holds the
// output pins and the state lock; every connected CSourceStream runs a
// streaming thread from Run to Stop that takes a buffer, has it filled
// (FillBuffer) and delivers it, one sample after another.
#include <atomic>
#include <thread>
#include <vector>

#include "platform/dshow/BaseFilter.h"

class CSourceStream;

// A quality message from downstream.
struct Quality {
  int Type;
  long Proportion;
  REFERENCE_TIME Late;
  REFERENCE_TIME TimeStamp;
};

class CSource : public CBaseFilter {
 public:
  CSource(const wchar_t* name, IUnknown* outer, REFCLSID clsid);

  int GetPinCount() override;
  CBasePin* GetPin(int n) override;
  // Streaming threads start once the filter runs and end when it stops.
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT Stop() override;

  // Pins register themselves when made and leave when deleted.
  HRESULT AddPin(CSourceStream* pin);
  HRESULT RemovePin(CSourceStream* pin);
  CCritSec* pStateLock() { return &m_cStateLock; }
  const CLSID& ClassId() const { return clsid_; }

 protected:
  // Deletes the pins still registered.
  ~CSource() override;

  CCritSec m_cStateLock;
  std::vector<CSourceStream*> m_paStreams;

 private:
  CLSID clsid_;
};

class CSourceStream : public CBaseOutputPin {
 public:
  CSourceStream(const wchar_t* objectName, HRESULT* result, CSource* filter, const wchar_t* pinName);
  ~CSourceStream() override;

  // Fills one sample: S_OK delivers it, S_FALSE ends the stream, a failure
  // ends it and reports EC_ERRORABORT.
  virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
  virtual HRESULT Notify(IBaseFilter* self, Quality quality);

  void StartStreaming();
  // Ends the thread: the allocator is decommitted so a wait for a buffer ends.
  void StopStreaming();
  bool IsStreaming() const { return thread_.joinable(); }

 protected:
  CSource* m_pFilter;

 private:
  void Stream();

  std::thread thread_;
  std::atomic<bool> stop_{false};
};

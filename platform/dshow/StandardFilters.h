#pragma once
// The standard filters the capture graphs use: the null renderer, the
// infinite tee and the sample grabber.
#include <memory>
#include <vector>

#include "platform/dshow/PassThroughPins.h"

// Takes every sample and drops it.
class CNullRenderer : public CBaseFilter {
 public:
  CNullRenderer();
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override;

 private:
  class InputPin : public CBaseInputPin {
   public:
    using CBaseInputPin::CBaseInputPin;
    HRESULT CheckMediaType(const CMediaType* type) override { return type ? S_OK : E_POINTER; }
  };
  CCritSec lock_;
  InputPin input_;
};

// Hands every input sample to each connected output; a free output is always there.
class CInfTee : public CPassThroughFilter {
 public:
  CInfTee();
  int GetPinCount() override;
  CBasePin* GetPin(int n) override;
  HRESULT CheckInput(const CMediaType* type) override { return type ? S_OK : E_POINTER; }
  HRESULT ReceiveSample(IMediaSample* sample) override;
  CBasePin* InputPin() override { return &input_; }
  void OutputConnected() override;

 private:
  CCritSec lock_;
  CPassThroughInputPin input_;
  std::vector<std::unique_ptr<CPassThroughOutputPin>> outputs_;
};

// Passes samples through and shows each to a callback; can keep the last one.
class CSampleGrabber : public CPassThroughFilter, public ISampleGrabber {
 public:
  CSampleGrabber();
  HRESULT QueryInterface(REFIID iid, void** out) override;
  VQ_FORWARD_IUNKNOWN(CPassThroughFilter)

  int GetPinCount() override { return 2; }
  CBasePin* GetPin(int n) override;
  HRESULT CheckInput(const CMediaType* type) override;
  HRESULT ReceiveSample(IMediaSample* sample) override;
  CBasePin* InputPin() override { return &input_; }

  HRESULT SetOneShot(BOOL oneShot) override;
  HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
  HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT SetBufferSamples(BOOL buffer) override;
  HRESULT GetCurrentBuffer(long* size, long* buffer) override;
  HRESULT GetCurrentSample(IMediaSample** sample) override;
  HRESULT SetCallback(ISampleGrabberCB* callback, long which) override;

 private:
  ~CSampleGrabber() override;
  CCritSec lock_;
  CPassThroughInputPin input_;
  CPassThroughOutputPin output_;
  CMediaType wanted_;
  bool oneShot_ = false, buffer_ = false, shotTaken_ = false;
  std::vector<BYTE> lastSample_;
  bool haveLast_ = false;
  ISampleGrabberCB* callback_ = nullptr;  // referenced
  long callbackKind_ = 0;
};

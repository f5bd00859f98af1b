#pragma once
// The callback on a camera's still pin: every still sample (the snapshot
// button or a trigger) posts WM_VIDEO_STILL_READY to the main window. It is
// embedded in its owner and not reference-counted.
#include "capture/FrameHolder.h"
#include "capture/GrabData.h"
#include "platform/dshow/Interfaces.h"

class CSampleGrabberCallback : public ISampleGrabberCB {
 public:
  CSampleGrabberCallback();
  ~CSampleGrabberCallback() override;
  CSampleGrabberCallback(const CSampleGrabberCallback&) = delete;
  CSampleGrabberCallback& operator=(const CSampleGrabberCallback&) = delete;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 2; }
  HRESULT SampleCB(double sampleTime, IMediaSample* sample) override;
  HRESULT BufferCB(double sampleTime, BYTE* buffer, long length) override;

  void SetWindow(HWND window) { window_ = window; }
  HWND Window() const { return window_; }
  void SetStillSize(int width, int height) {
    stillWidth_ = width;
    stillHeight_ = height;
  }

 private:
  HWND window_ = nullptr;
  int unused_ = 0;
  int stillWidth_ = 0;
  int stillHeight_ = 0;
  CDPrgb24* holder_;
};

#include "capture/SampleGrabberCallback.h"

#include <new>

#include "platform/dshow/Guids.h"
#include "platform/dshow/WindowBridge.h"

CSampleGrabberCallback::CSampleGrabberCallback() : holder_(new (std::nothrow) CDPrgb24()) { (void)unused_; }

CSampleGrabberCallback::~CSampleGrabberCallback() {
  delete holder_;
  window_ = nullptr;
}

HRESULT CSampleGrabberCallback::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_ISampleGrabberCB) {
    *out = static_cast<ISampleGrabberCB*>(this);
    return S_OK;
  }
  return E_NOTIMPL;
}

HRESULT CSampleGrabberCallback::SampleCB(double, IMediaSample* sample) {
  vq::dshow::PostWindowMessage(window_, WM_VIDEO_STILL_READY, 0, 0);
  if (sample) (void)sample->GetActualDataLength();
  return E_NOTIMPL;
}

HRESULT CSampleGrabberCallback::BufferCB(double, BYTE*, long) { return E_NOTIMPL; }

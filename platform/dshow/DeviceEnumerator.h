#pragma once
// The system device enumerator: lists the attached cameras under the
// video-input category and the sound inputs under the audio-input category
// as monikers; each binds to a property bag ("DevicePath" of cameras,
// "FriendlyName" of both) and to the device's capture filter.
#include <memory>
#include <vector>

#include "platform/dshow/CaptureDevice.h"
#include "platform/dshow/Interfaces.h"

class CSystemDeviceEnum : public ICreateDevEnum {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override;
  VQ_COM_REFCOUNT
  HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** out, DWORD flags) override;

 private:
  vq::dshow::RefCount refs_;
};

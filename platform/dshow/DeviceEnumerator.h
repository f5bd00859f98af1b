#pragma once
// The system device enumerator: lists the attached cameras under the
// video-input category as monikers; each binds to a property bag with
// "DevicePath" and "FriendlyName" and to the camera's capture filter.
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

#pragma once
// The seam between the capture filter and a camera: what a camera reports
// (path, name, formats, controls), how it streams, and how it tells its
// filters that it was unplugged, came back or had its snapshot button pressed.
// The virtual camera implements it; a real-camera backend adds another.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/MediaType.h"

namespace vq::dshow {

struct CaptureFormat {
  GUID subtype;  // MEDIASUBTYPE_YUY2 or MEDIASUBTYPE_MJPG
  int width;
  int height;
  REFERENCE_TIME frameInterval;  // 100-ns units
  bool readable = true;          // false: the camera fails to report this one
};

enum class ControlKind { VideoProcAmp, CameraControl };

struct ControlState {
  long property;
  long min, max, step, dflt, caps;
  long value, flags;
};

class CaptureDeviceListener {
 public:
  virtual void DeviceLost() = 0;
  virtual void DeviceBack() = 0;
  virtual void StillButtonPressed() = 0;

 protected:
  ~CaptureDeviceListener() = default;
};

// One running stream of a camera; closing it stops the stream.
class CaptureStream {
 public:
  virtual ~CaptureStream() = default;
  // Waits up to timeoutMs for the next frame: S_OK with the frame copied
  // into buffer, S_FALSE on time-out, a failure when the camera is gone or
  // the frame does not fit.
  virtual HRESULT ReadFrame(BYTE* buffer, long capacity, long* length, DWORD timeoutMs) = 0;
  // Wakes a waiting ReadFrame, which then times out.
  virtual void Interrupt() = 0;
};

class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;
  virtual std::wstring DevicePath() const = 0;
  virtual std::wstring FriendlyName() const = 0;
  virtual bool IsPresent() const = 0;
  virtual std::vector<CaptureFormat> Formats() const = 0;
  virtual bool HasStillPin() const = 0;
  virtual HRESULT GetControl(ControlKind kind, long property, ControlState* state) = 0;
  virtual HRESULT SetControl(ControlKind kind, long property, long value, long flags) = 0;
  virtual std::unique_ptr<CaptureStream> OpenStream(const CaptureFormat& format, HRESULT* result) = 0;

  void AddListener(CaptureDeviceListener* listener);
  void RemoveListener(CaptureDeviceListener* listener);

 protected:
  void NotifyListeners(const std::function<void(CaptureDeviceListener*)>& call);

 private:
  std::mutex listenerLock_;
  std::vector<CaptureDeviceListener*> listeners_;
};

// The sources of cameras for device enumeration.
using CaptureDeviceProvider = std::function<std::vector<std::shared_ptr<CaptureDevice>>()>;
void RegisterCaptureDeviceProvider(CaptureDeviceProvider provider);
// Every attached camera, in provider order.
std::vector<std::shared_ptr<CaptureDevice>> AttachedCaptureDevices();

}  // namespace vq::dshow

#define HRESULT_DEVICE_NOT_CONNECTED ((HRESULT)0x8007048FL)
// ERROR_BUSY: another program streams from the camera.
#define HRESULT_DEVICE_BUSY ((HRESULT)0x800700AAL)

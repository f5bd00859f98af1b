#pragma once
// The virtual document camera: a camera of configurable USB identity that
// streams YUY2 and motion-JPEG at several sizes and a declared frame rate,
// with camera controls (a manual exposure brightens or darkens the picture),
// a still pin with a snapshot button, and unplugging and replugging that
// tests can trigger. VQ_VIRTUAL_CAMERA lists cameras for
// the device enumeration: "1" (or "document") is the document camera with
// the default ids; otherwise ';'-separated cameras, each "document",
// "portrait" or ','-separated keys: vid, pid, name, instance, fps, still
// (0 or 1), sizes ("640x480+1280x960"), folder (a folder of images), script
// ("demo": the scripted desk sequence).
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dshow/CaptureDevice.h"
#include "platform/dshow/VirtualFrameSource.h"

namespace vq::dshow {

// The ids of the simulated document and portrait cameras, as in device paths.
std::wstring VirtualVendorId();
std::wstring VirtualDocumentProductId();
std::wstring VirtualPortraitProductId();

struct VirtualCameraConfig {
  std::wstring vendorId = VirtualVendorId();
  std::wstring productId = VirtualDocumentProductId();
  std::wstring instance;  // 8 hexadecimal characters in the path; empty: assigned
  std::wstring friendlyName = L"Virtual Document Camera";
  std::vector<cv::Size> sizes{{640, 480}, {1280, 960}, {1600, 1200}, {2048, 1536}, {2592, 1944}};
  bool yuy2 = true;
  bool mjpg = true;
  bool mjpgFirst = false;  // list the MJPG formats before the YUY2 ones
  double framesPerSecond = 15.0;
  bool stillPin = true;
  int unreadableFormat = -1;  // index of a capability the camera fails to report
  std::vector<ControlState> procAmp = DefaultProcAmp();
  std::vector<ControlState> cameraControl = DefaultCameraControl();
  VirtualContent content;

  static std::vector<ControlState> DefaultProcAmp();
  static std::vector<ControlState> DefaultCameraControl();
  static VirtualCameraConfig Document();
  static VirtualCameraConfig Portrait();
};

class VirtualCamera : public CaptureDevice {
 public:
  explicit VirtualCamera(VirtualCameraConfig config);
  ~VirtualCamera() override;

  std::wstring DevicePath() const override { return path_; }
  std::wstring FriendlyName() const override { return config_.friendlyName; }
  bool IsPresent() const override { return present_; }
  std::vector<CaptureFormat> Formats() const override { return formats_; }
  bool HasStillPin() const override { return config_.stillPin; }
  HRESULT GetControl(ControlKind kind, long property, ControlState* state) override;
  HRESULT SetControl(ControlKind kind, long property, long value, long flags) override;
  std::unique_ptr<CaptureStream> OpenStream(const CaptureFormat& format, HRESULT* result) override;

  // Test triggers. Unplugging reports EC_DEVICE_LOST to the graphs using the
  // camera and WM_DEVICECHANGE to the top-level windows; so does replugging.
  void Unplug();
  void Replug();
  void PressSnapshotButton();
  // While on, running streams fail as on a broken transfer (the graph aborts).
  void SetTransferErrors(bool on);
  // While on, streams cannot start, as when another program holds the camera.
  void SetBusy(bool on);

  // The format of the last stream opened; false before the first.
  bool LastStreamFormat(CaptureFormat* format);

  // The camera's payload of one picture in a format (cached per picture).
  std::shared_ptr<const std::vector<BYTE>> Payload(long long key, const CaptureFormat& format);
  VirtualFrameSource& Frames() { return frames_; }
  const VirtualCameraConfig& Config() const { return config_; }
  // Wakes streams waiting for their next frame (when unplugged).
  void WakeStreams();

 private:
  friend class VirtualStream;
  void AddStream(CaptureStream* stream);
  void RemoveStream(CaptureStream* stream);
  std::vector<ControlState>* Controls(ControlKind kind);
  // Steps of manual exposure above the default (lock_ held).
  int ExposureSteps() const;

  VirtualCameraConfig config_;
  std::wstring path_;
  std::vector<CaptureFormat> formats_;
  std::atomic<bool> present_{true};
  std::atomic<bool> transferErrors_{false};
  std::atomic<bool> busy_{false};
  VirtualFrameSource frames_;
  std::mutex lock_;
  std::vector<CaptureStream*> streams_;
  bool streamed_ = false;
  CaptureFormat lastFormat_{};
  // Payloads by picture, size, subtype and exposure steps.
  std::map<std::tuple<long long, int, int, bool, int>, std::shared_ptr<const std::vector<BYTE>>> payloads_;
};

// The cameras plugged in by tests and programs, besides those of VQ_VIRTUAL_CAMERA.
std::shared_ptr<VirtualCamera> PlugInVirtualCamera(VirtualCameraConfig config);
// Removes every camera plugged in with PlugInVirtualCamera (they count as unplugged).
void RemoveVirtualCameras();
// Every virtual camera the enumeration knows, attached or not. A camera
// whose entry leaves VQ_VIRTUAL_CAMERA counts as unplugged.
std::vector<std::shared_ptr<VirtualCamera>> VirtualCameras();
// Parses a VQ_VIRTUAL_CAMERA value; false when it is malformed.
bool ParseVirtualCameraList(const std::string& text, std::vector<VirtualCameraConfig>* out);

// Registers the virtual cameras as a device provider (done by COM initialisation).
void RegisterVirtualCameraProvider();

}  // namespace vq::dshow

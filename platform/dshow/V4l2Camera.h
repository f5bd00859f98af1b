#pragma once
// A camera behind a V4L2 capture node: its formats from the frame-size
// enumeration, its controls mapped onto V4L2 controls, memory-mapped
// streaming of the raw YUY2 or motion-JPEG payload, and the snapshot button
// from the camera's input device.
//
// Exposure: the interface's value e means 2^e seconds; V4L2's absolute
// exposure counts 100 µs. So units = 10000 * 2^e, and e = round(log2(units /
// 10000)); the reported range is the whole exponents inside the V4L2 range.
// Auto exposure is V4L2's aperture-priority mode (or full auto), manual is
// V4L2_EXPOSURE_MANUAL.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "platform/dshow/CaptureDevice.h"
#include "platform/dshow/V4l2Io.h"

namespace vq::dshow {

// Who a capture node is: its node, its USB identity from sysfs and its card name.
struct V4l2Identity {
  std::string node;             // "/dev/video0"
  std::wstring vendorId;        // four lower-case hexadecimal digits
  std::wstring productId;
  int interfaceNumber = 0;
  std::wstring instance;        // eight hexadecimal digits from the USB port path
  std::wstring cardName;
  std::string inputEventNode;   // "/dev/input/event5" or empty
};

// "\\?\usb#vid_XXXX&pid_XXXX&mi_NN#6&INSTANCE&0&0000#{...}\global": the instance starts at character 34.
std::wstring V4l2DevicePath(const V4l2Identity& id);

// DirectShow exposure (log2 seconds) and V4L2 absolute exposure (100 µs units).
long ExposureToV4l2(long log2Seconds);
long ExposureFromV4l2(long units);

class V4l2Camera : public CaptureDevice {
 public:
  V4l2Camera(V4l2Environment env, V4l2Identity identity);
  ~V4l2Camera() override;

  std::wstring DevicePath() const override { return path_; }
  std::wstring FriendlyName() const override { return identity_.cardName; }
  bool IsPresent() const override { return present_; }
  std::vector<CaptureFormat> Formats() const override;
  bool HasStillPin() const override;
  HRESULT GetControl(ControlKind kind, long property, ControlState* state) override;
  HRESULT SetControl(ControlKind kind, long property, long value, long flags) override;
  std::unique_ptr<CaptureStream> OpenStream(const CaptureFormat& format, HRESULT* result) override;

  // The enumerator found the camera at a node again, or no longer finds it.
  void Attach(const V4l2Identity& identity);
  void Detach();
  std::string Node() const;

 private:
  class Stream;
  int OpenNode() const;
  void StartButtonWatch();
  void StopButtonWatch();
  void WatchButton(std::string node);

  V4l2Environment env_;
  mutable std::mutex lock_;
  V4l2Identity identity_;
  std::wstring path_;
  std::atomic<bool> present_{true};
  mutable std::vector<CaptureFormat> formats_;
  mutable bool formatsRead_ = false;
  std::mutex buttonLock_;  // a stream thread and the hot-plug monitor may attach and detach at once
  std::thread buttonThread_;
  int buttonWake_ = -1;
};

}  // namespace vq::dshow

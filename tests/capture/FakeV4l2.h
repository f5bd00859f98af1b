#pragma once
// A table of fake V4L2 devices behind the camera code's system-call seam,
// with a fake sysfs tree and device folder in the test's temp folder, so the
// enumeration, controls, streaming, hot-plugging and the snapshot button run
// as on a machine with USB cameras.
#include <linux/videodev2.h>

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "platform/dshow/V4l2Io.h"

namespace vqtest {

struct FakeV4l2Format {
  uint32_t pixelFormat;
  std::vector<v4l2_frmsizeenum> sizes;  // discrete entries, or one stepwise entry
  v4l2_fract interval{1, 30};
};

struct FakeV4l2Control {
  v4l2_queryctrl query;
  int32_t value;
};

struct FakeV4l2Node {
  std::string card = "Fake Camera";
  uint32_t deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
  std::vector<FakeV4l2Format> formats;
  std::map<uint32_t, FakeV4l2Control> controls;
  // The USB device folder under sys/devices ("usb1/1-2") and the interface.
  std::string usbPort = "usb1/1-2";
  std::string vendorId = "046d", productId = "0825";
  int interfaceNumber = 0;
  std::string inputEvent;  // "event5": the camera has a snapshot button
};

// Helpers for building nodes.
v4l2_frmsizeenum DiscreteSize(uint32_t width, uint32_t height);
v4l2_frmsizeenum StepwiseSize(uint32_t minW, uint32_t maxW, uint32_t stepW, uint32_t minH, uint32_t maxH,
                              uint32_t stepH);
FakeV4l2Control MakeControl(uint32_t id, int32_t min, int32_t max, int32_t step, int32_t dflt, int32_t value);

class FakeV4l2 : public vq::dshow::V4l2Io {
 public:
  explicit FakeV4l2(std::string root);
  ~FakeV4l2() override;

  vq::dshow::V4l2Environment Environment();
  // Creates the node's files ("video0") and its sysfs entries.
  void Add(const std::string& name, FakeV4l2Node node);
  void Unplug(const std::string& name);  // the node file goes; open streams fail with ENODEV
  void Replug(const std::string& name);
  void PressButton(const std::string& inputEvent);
  int32_t ControlValue(const std::string& name, uint32_t id);
  // The picture the fake camera shows, top-down BGR.
  static cv::Mat Picture(int width, int height);

  int Open(const std::string& path, int flags) override;
  int Close(int fd) override;
  int Ioctl(int fd, unsigned long request, void* arg) override;
  void* Mmap(size_t length, int fd, off_t offset) override;
  int Munmap(void* address, size_t length) override;
  ssize_t Read(int fd, void* buffer, size_t size) override;
  int WaitReadable(int fd, int wakeFd, int timeoutMs) override;

 private:
  struct Handle;
  int IoctlLocked(Handle& h, FakeV4l2Node& node, unsigned long request, void* arg);

  std::string root_;
  std::mutex lock_;
  std::map<std::string, FakeV4l2Node> nodes_;          // by name
  std::map<std::string, bool> present_;
  std::map<std::string, std::array<int, 2>> buttons_;// input event name -> pipe
  std::map<int, std::unique_ptr<Handle>> handles_;      // by descriptor
};

}  // namespace vqtest

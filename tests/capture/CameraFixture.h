#pragma once
// Virtual cameras for the tests of the sources: plugged in per test and
// removed afterwards, with a recorder for what goes to windows.
#include <gtest/gtest.h>

#include <memory>

#include "capture/USBCamera.h"
#include "platform/dshow/VirtualCamera.h"
#include "tests/capture/MessageRecorder.h"

namespace vqtest {

class CameraTest : public ::testing::Test {
 protected:
  void TearDown() override { vq::dshow::RemoveVirtualCameras(); }

  // A small, quick camera: 640 x 480 and 1280 x 960 in YUY2 and MJPG at 60 frames a second.
  static vq::dshow::VirtualCameraConfig Quick(const wchar_t* vid = L"5651", const wchar_t* pid = L"d0c0") {
    vq::dshow::VirtualCameraConfig c;
    c.vendorId = vid;
    c.productId = pid;
    c.sizes = {{640, 480}, {1280, 960}};
    c.framesPerSecond = 60;
    return c;
  }

  std::shared_ptr<vq::dshow::VirtualCamera> Plug(vq::dshow::VirtualCameraConfig c) {
    return vq::dshow::PlugInVirtualCamera(std::move(c));
  }

  MessageRecorder recorder_;
};

// The frame a source holds, as a top-down matrix, once one has arrived.
inline cv::Mat WaitForFrame(CVideoBaseClass& source, MessageRecorder& recorder, HWND window, size_t count = 1) {
  if (!recorder.WaitFor(window, WM_VIDEO_FRAME, count)) return {};
  IGrabData* grab = source.GetGrabData();
  return grab ? grab->GetMat() : cv::Mat();
}

}  // namespace vqtest

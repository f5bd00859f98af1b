// The camera's messages reach real windows of the window layer: frame
// notices and the snapshot button to the windows given, device changes to
// every top-level window.
#include <gtest/gtest.h>

#include <functional>

#include "capture/USBCamera.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Windows.h"

namespace {

struct Counts {
  int frames = 0;
  int stills = 0;
  int removals = 0;
};
Counts counts;

LRESULT CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_VIDEO_FRAME) ++counts.frames;
  if (message == WM_VIDEO_STILL_READY) ++counts.stills;
  if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEREMOVECOMPLETE) ++counts.removals;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class WindowDelivery : public ::testing::Test {
 protected:
  void SetUp() override {
    counts = Counts{};
    WNDCLASSW c{};
    c.lpfnWndProc = CountingProc;
    c.lpszClassName = L"CameraTestWindow";
    RegisterClassW(&c);
    window_ = CreateWindowExW(0, L"CameraTestWindow", L"camera test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                              nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    if (window_) DestroyWindow(window_);
  }
  HWND window_ = nullptr;
};

}  // namespace

TEST_F(WindowDelivery, FramesStillsAndUnpluggingReachTheWindows) {
  ASSERT_NE(window_, nullptr);
  vq::dshow::VirtualCameraConfig config;
  config.sizes = {{640, 480}};
  config.framesPerSecond = 60;
  auto device = vq::dshow::PlugInVirtualCamera(config);
  {
    CUSBCamra camera;
    camera.SetNotifyWindow(window_, WM_VIDEO_FRAME);
    ASSERT_EQ(camera.Open(config.vendorId.c_str(), config.productId.c_str(), nullptr, window_, true, 0), S_OK);
    ASSERT_TRUE(camera.Run());
    ASSERT_TRUE(vqtest::Pump([] { return counts.frames >= 3; }));
    device->PressSnapshotButton();
    ASSERT_TRUE(vqtest::Pump([] { return counts.stills == 1; }));
    device->Unplug();
    ASSERT_TRUE(vqtest::Pump([] { return counts.removals == 1; }));
    int status = 0;
    long code = 0;
    ASSERT_TRUE(camera.PollEvent(&status, &code));
    EXPECT_EQ(status, VIDEO_EVENT_DEVICE_LOST);
  }
  EXPECT_EQ(counts.stills, 1);
}

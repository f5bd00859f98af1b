// The property frame on a virtual camera, driven as a user would: the
// camera's pages (video proc amp and camera control) change brightness and
// exposure at once and Cancel puts them back; the stream format page
// switches the running camera to another format.
#include <functional>
#include <vector>

#include "platform/dshow/CaptureFilter.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/capture/CameraFixture.h"
#include "tests/support/Windows.h"
#include "tests/ui/ScreenshotSupport.h"

using vq::dshow::ControlKind;
using vq::dshow::ControlState;
using vqtest::FakeWindow;
using vqtest::WaitForFrame;

namespace {

const HWND kMainWindow = FakeWindow(1);
const HWND kPreview = FakeWindow(2);
// Control ids of the frame's pages: rows of name, slider, value, auto box.
constexpr int kFirstSlider = 1001, kFirstAuto = 1003, kFormatList = 91;

// The visible page of a frame (a child dialog besides the tab control).
HWND ShownPage(HWND frame) {
  for (HWND c = GetWindow(frame, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    GetClassNameW(c, name, 32);
    if (std::wstring(name) == WC_DIALOG && IsWindowVisible(c)) return c;
  }
  return nullptr;
}

void Keys(HWND control, int key, int times) {
  SetFocus(control);
  for (int i = 0; i < times; ++i) vqplatform::PressKey(key);
}

class PropertyFrame : public vqtest::CameraTest {
 protected:
  ControlState Read(ControlKind kind, long property) {
    ControlState s{};
    EXPECT_EQ(camera_->GetControl(kind, property, &s), S_OK);
    return s;
  }
  // Opens the camera's pages, moves brightness up 3 steps and exposure
  // (switched to manual) down 2, checks they apply at once, then leaves
  // with `button`.
  void ChangeBrightnessAndExposure(int button, const char* pictures) {
    std::vector<vqplatform::ModalScript::Step> steps = {
        [&](HWND frame) {
          if (pictures) vqtest::SaveScreenshot(frame, std::string(pictures) + "_proc_amp.png");
          Keys(GetDlgItem(ShownPage(frame), kFirstSlider), VK_RIGHT, 3);
        },
        [&](HWND frame) {
          EXPECT_EQ(Read(ControlKind::VideoProcAmp, VideoProcAmp_Brightness).value, 3) << "applied at once";
          EXPECT_EQ(GetDlgItemInt(ShownPage(frame), kFirstSlider + 1, nullptr, TRUE), 3u);
          vqtest::ClickTab(GetDlgItem(frame, 100), 1);
        },
        [&](HWND frame) {
          HWND page = ShownPage(frame);
          EXPECT_EQ(IsDlgButtonChecked(page, kFirstAuto), static_cast<UINT>(BST_CHECKED)) << "exposure starts automatic";
          EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, kFirstSlider)));
          vqplatform::ClickControl(page, kFirstAuto);
        },
        [&](HWND frame) { Keys(GetDlgItem(ShownPage(frame), kFirstSlider), VK_LEFT, 2); },
        [&](HWND frame) {
          ControlState exposure = Read(ControlKind::CameraControl, CameraControl_Exposure);
          EXPECT_EQ(exposure.value, -8);
          EXPECT_EQ(exposure.flags, long(CameraControl_Flags_Manual));
          if (pictures) vqtest::SaveScreenshot(frame, std::string(pictures) + "_camera_control.png");
          vqplatform::ClickControl(frame, button);
        },
    };
    vqplatform::ModalScript script(steps);
    source_.ShowFilterPages(nullptr);
    EXPECT_EQ(script.StepsRun(), steps.size());
  }

  void SetUp() override {
    camera_ = Plug(Quick());
    source_.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
    ASSERT_EQ(source_.Open(L"5651", L"d0c0", nullptr, kMainWindow, true, 0), S_OK);
    ASSERT_TRUE(source_.Run());
  }

  std::shared_ptr<vq::dshow::VirtualCamera> camera_;
  CUSBCamra source_;
};

}  // namespace

TEST_F(PropertyFrame, CameraPagesApplyAtOnceAndCancelPutsBrightnessAndExposureBack) {
  ChangeBrightnessAndExposure(IDCANCEL, "property_frame");
  ControlState brightness = Read(ControlKind::VideoProcAmp, VideoProcAmp_Brightness);
  EXPECT_EQ(brightness.value, 0);
  EXPECT_EQ(brightness.flags, long(VideoProcAmp_Flags_Manual));
  ControlState exposure = Read(ControlKind::CameraControl, CameraControl_Exposure);
  EXPECT_EQ(exposure.value, -6);
  EXPECT_EQ(exposure.flags, long(CameraControl_Flags_Auto));
  EXPECT_EQ(source_.GetState(), VIDEO_STATE_RUNNING);

  ChangeBrightnessAndExposure(IDOK, nullptr);
  EXPECT_EQ(Read(ControlKind::VideoProcAmp, VideoProcAmp_Brightness).value, 3);
  EXPECT_EQ(Read(ControlKind::CameraControl, CameraControl_Exposure).value, -8);
  EXPECT_EQ(Read(ControlKind::CameraControl, CameraControl_Exposure).flags, long(CameraControl_Flags_Manual));
  // The Default button takes every control of a page back to its default.
  vqplatform::ModalScript defaults({
      [](HWND frame) { vqplatform::ClickControl(ShownPage(frame), 90); },
      [](HWND frame) { vqplatform::ClickControl(frame, IDOK); },
  });
  source_.ShowFilterPages(nullptr);
  EXPECT_EQ(Read(ControlKind::VideoProcAmp, VideoProcAmp_Brightness).value, 0);
  EXPECT_EQ(Read(ControlKind::VideoProcAmp, VideoProcAmp_Contrast).value, 32);
}

TEST_F(PropertyFrame, StreamFormatPageSwitchesTheCameraAndCancelSwitchesBack) {
  vq::dshow::CaptureFormat streamed{};
  ASSERT_FALSE(WaitForFrame(source_, recorder_, kPreview).empty());
  auto chooseLast = [&](int button) {
    vqplatform::ModalScript script({
        [](HWND frame) { Keys(GetDlgItem(ShownPage(frame), kFormatList), VK_DOWN, 3); },
        [&](HWND frame) {
          wchar_t chosen[64] = {};
          GetDlgItemTextW(ShownPage(frame), kFormatList, chosen, 64);
          EXPECT_STREQ(chosen, L"MJPG 1280 x 960");
          vqplatform::ClickControl(frame, button);
        },
    });
    source_.ShowStreamConfigPages(nullptr);
    EXPECT_EQ(script.StepsRun(), 2u);
  };
  chooseLast(IDCANCEL);
  recorder_.Clear();
  ASSERT_FALSE(WaitForFrame(source_, recorder_, kPreview).empty());
  ASSERT_TRUE(camera_->LastStreamFormat(&streamed));
  EXPECT_EQ(streamed.subtype, MEDIASUBTYPE_YUY2);
  EXPECT_EQ(streamed.width, 640);

  chooseLast(IDOK);
  EXPECT_EQ(source_.GetState(), VIDEO_STATE_RUNNING);
  recorder_.Clear();
  cv::Mat frame = WaitForFrame(source_, recorder_, kPreview, 2);
  EXPECT_EQ(frame.size(), cv::Size(1280, 960)) << "decoded from the new format";
  ASSERT_TRUE(camera_->LastStreamFormat(&streamed));
  EXPECT_EQ(streamed.subtype, MEDIASUBTYPE_MJPG);
  EXPECT_EQ(streamed.width, 1280);
}

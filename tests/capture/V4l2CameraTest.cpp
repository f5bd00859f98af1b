// The V4L2 camera backend against a table of fake devices: device paths,
// names and formats from sysfs and the ioctls, controls and the exposure
// mapping, YUY2 and motion-JPEG streaming through the graph into the holder,
// unplugging and replugging seen through inotify, and the snapshot button.
#include <linux/videodev2.h>

#include <cmath>
#include <filesystem>

#include <opencv2/imgproc.hpp>

#include "platform/dshow/Interfaces.h"
#include "platform/dshow/V4l2Enumerator.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/capture/CameraFixture.h"
#include "tests/capture/FakeV4l2.h"
#include "tests/support/TestEnv.h"

using vq::dshow::ControlKind;
using vq::dshow::ControlState;
using vq::dshow::V4l2Camera;
using vqtest::FakeV4l2;
using vqtest::FakeV4l2Node;

namespace {

const HWND kMainWindow = vqtest::FakeWindow(11);
const HWND kPreview = vqtest::FakeWindow(12);

// A document camera: YUY2 at two sizes, MJPG at three, a metadata node, a button.
FakeV4l2Node DocumentCamera() {
  FakeV4l2Node n;
  n.card = "USB Document Camera: Main";
  n.vendorId = "1B3F";
  n.productId = "2202";
  n.usbPort = "usb1/1-4";
  n.inputEvent = "event7";
  n.formats.push_back({V4L2_PIX_FMT_YUYV, {vqtest::DiscreteSize(640, 480), vqtest::DiscreteSize(1280, 960)}, {1, 15}});
  n.formats.push_back({V4L2_PIX_FMT_MJPEG,
                       {vqtest::DiscreteSize(640, 480), vqtest::DiscreteSize(1280, 960), vqtest::DiscreteSize(2048, 1536)},
                       {1, 30}});
  n.formats.push_back({V4L2_PIX_FMT_NV12, {vqtest::DiscreteSize(640, 480)}, {1, 30}});  // not offered
  n.controls[V4L2_CID_BRIGHTNESS] = vqtest::MakeControl(V4L2_CID_BRIGHTNESS, -64, 64, 1, 0, 5);
  n.controls[V4L2_CID_EXPOSURE_ABSOLUTE] = vqtest::MakeControl(V4L2_CID_EXPOSURE_ABSOLUTE, 3, 2047, 1, 156, 625);
  n.controls[V4L2_CID_EXPOSURE_AUTO] = vqtest::MakeControl(V4L2_CID_EXPOSURE_AUTO, 0, 3, 1, 3, 3);
  return n;
}

FakeV4l2Node MetadataNodeOf(FakeV4l2Node camera) {
  camera.deviceCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
  camera.formats.clear();
  camera.inputEvent.clear();
  return camera;
}

class V4l2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_ = std::make_shared<FakeV4l2>(vqtest::TempPath("fake").string());
    env_ = fake_->Environment();
    env_.io = fake_;
  }
  void TearDown() override { vq::dshow::TheV4l2Cameras().SetEnvironment(vq::dshow::SystemV4l2Environment()); }

  // Puts the fake devices behind the device enumeration.
  void UseFakeDevices() { vq::dshow::TheV4l2Cameras().SetEnvironment(env_); }

  std::shared_ptr<FakeV4l2> fake_;
  vq::dshow::V4l2Environment env_;
  vqtest::MessageRecorder recorder_;
};

double MeanDifference(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat d;
  cv::absdiff(a, b, d);
  cv::Scalar s = cv::mean(d);
  return (s[0] + s[1] + s[2]) / 3.0;
}

}  // namespace

TEST_F(V4l2Test, EnumerationGivesUsbPathsCardNamesAndFormats) {
  auto document = DocumentCamera();
  fake_->Add("video0", document);
  fake_->Add("video1", MetadataNodeOf(document));
  FakeV4l2Node second;
  second.card = std::string(40, 'N');  // fills the 32-byte field without a terminator
  second.usbPort = "usb2/2-1.3";
  second.vendorId = "0ac8";
  second.productId = "3610";
  second.interfaceNumber = 2;
  second.formats.push_back({V4L2_PIX_FMT_MJPEG, {vqtest::StepwiseSize(320, 1920, 16, 240, 1080, 8)}, {1, 25}});
  fake_->Add("video10", second);

  vq::dshow::V4l2CameraRegistry registry;
  registry.SetEnvironment(env_);
  auto cameras = registry.Rescan();
  ASSERT_EQ(cameras.size(), 2u);  // the metadata node is no second camera

  const std::wstring path = cameras[0]->DevicePath();
  EXPECT_EQ(path.substr(0, 34), L"\\\\?\\usb#vid_1b3f&pid_2202&mi_00#6&");
  EXPECT_EQ(path.substr(42), L"&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
  EXPECT_EQ(path.substr(34, 8).find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
  EXPECT_EQ(cameras[0]->FriendlyName(), L"USB Document Camera: Main");
  EXPECT_TRUE(cameras[0]->HasStillPin());
  EXPECT_NE(cameras[1]->DevicePath().find(L"vid_0ac8&pid_3610&mi_02#6&"), std::wstring::npos);
  EXPECT_NE(cameras[1]->DevicePath().substr(34, 8), path.substr(34, 8));  // another port
  EXPECT_EQ(cameras[1]->FriendlyName(), std::wstring(32, L'N'));
  EXPECT_FALSE(cameras[1]->HasStillPin());

  auto formats = cameras[0]->Formats();
  ASSERT_EQ(formats.size(), 5u);
  EXPECT_TRUE(formats[0].subtype == MEDIASUBTYPE_YUY2);
  EXPECT_EQ(formats[1].width, 1280);
  EXPECT_EQ(formats[1].frameInterval, 666667);
  EXPECT_TRUE(formats[4].subtype == MEDIASUBTYPE_MJPG);
  EXPECT_EQ(formats[4].height, 1536);
  EXPECT_EQ(formats[4].frameInterval, 333333);

  // The stepwise range becomes its smallest, the usual sizes on its grid, and its largest.
  std::vector<std::pair<int, int>> sizes;
  for (const auto& f : cameras[1]->Formats()) sizes.emplace_back(f.width, f.height);
  ASSERT_GE(sizes.size(), 4u);
  EXPECT_EQ(sizes.front(), std::make_pair(320, 240));
  EXPECT_EQ(sizes.back(), std::make_pair(1920, 1080));
  EXPECT_NE(std::find(sizes.begin(), sizes.end(), std::make_pair(640, 480)), sizes.end());
  EXPECT_NE(std::find(sizes.begin(), sizes.end(), std::make_pair(1280, 720)), sizes.end());
  EXPECT_EQ(std::find(sizes.begin(), sizes.end(), std::make_pair(160, 120)), sizes.end());  // below the range
  EXPECT_EQ(std::find(sizes.begin(), sizes.end(), std::make_pair(1600, 1200)), sizes.end());  // above it

  // The same camera is the same object on the next scan; its instance id is stable.
  auto again = registry.Rescan();
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[0], cameras[0]);
}

TEST_F(V4l2Test, ExposureIsLog2SecondsAgainstHundredMicrosecondUnits) {
  EXPECT_EQ(vq::dshow::ExposureToV4l2(0), 10000);  // one second
  EXPECT_EQ(vq::dshow::ExposureToV4l2(-1), 5000);
  EXPECT_EQ(vq::dshow::ExposureToV4l2(-5), 313);   // 1/32 s
  EXPECT_EQ(vq::dshow::ExposureToV4l2(-13), 1);
  for (long e = -13; e <= 3; ++e) EXPECT_EQ(vq::dshow::ExposureFromV4l2(vq::dshow::ExposureToV4l2(e)), e);
  EXPECT_EQ(vq::dshow::ExposureFromV4l2(0), -14);

  fake_->Add("video0", DocumentCamera());
  V4l2Camera camera(env_, [&] {
    vq::dshow::V4l2Identity id;
    EXPECT_TRUE(vq::dshow::ReadV4l2Identity(env_, "video0", &id));
    id.inputEventNode.clear();
    return id;
  }());
  ControlState s{};
  ASSERT_EQ(camera.GetControl(ControlKind::CameraControl, CameraControl_Exposure, &s), S_OK);
  EXPECT_EQ(s.min, -11);  // 3 units = 0.3 ms: 2^-11 s (0.49 ms) is the first whole exponent inside
  EXPECT_EQ(s.max, -3);   // 204.7 ms: 2^-3 s = 125 ms
  EXPECT_EQ(s.dflt, -6);
  EXPECT_EQ(s.value, -4);
  EXPECT_EQ(s.caps, CameraControl_Flags_Auto | CameraControl_Flags_Manual);
  EXPECT_EQ(s.flags, CameraControl_Flags_Auto);  // aperture priority counts as automatic

  ASSERT_EQ(camera.SetControl(ControlKind::CameraControl, CameraControl_Exposure, -5, CameraControl_Flags_Manual), S_OK);
  EXPECT_EQ(fake_->ControlValue("video0", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
  EXPECT_EQ(fake_->ControlValue("video0", V4L2_CID_EXPOSURE_ABSOLUTE), 313);
  ASSERT_EQ(camera.GetControl(ControlKind::CameraControl, CameraControl_Exposure, &s), S_OK);
  EXPECT_EQ(s.value, -5);
  EXPECT_EQ(s.flags, CameraControl_Flags_Manual);
  EXPECT_EQ(camera.SetControl(ControlKind::CameraControl, CameraControl_Exposure, 2, CameraControl_Flags_Manual),
            E_INVALIDARG);
  ASSERT_EQ(camera.SetControl(ControlKind::CameraControl, CameraControl_Exposure, 0, CameraControl_Flags_Auto), S_OK);
  EXPECT_EQ(fake_->ControlValue("video0", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY);
  EXPECT_EQ(fake_->ControlValue("video0", V4L2_CID_EXPOSURE_ABSOLUTE), 313);  // left alone

  ASSERT_EQ(camera.GetControl(ControlKind::VideoProcAmp, VideoProcAmp_Brightness, &s), S_OK);
  EXPECT_EQ(s.min, -64);
  EXPECT_EQ(s.value, 5);
  EXPECT_EQ(s.caps, VideoProcAmp_Flags_Manual);
  EXPECT_EQ(camera.SetControl(ControlKind::VideoProcAmp, VideoProcAmp_Brightness, 0, VideoProcAmp_Flags_Auto),
            E_INVALIDARG);  // no automatic brightness
  ASSERT_EQ(camera.SetControl(ControlKind::VideoProcAmp, VideoProcAmp_Brightness, -20, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_EQ(fake_->ControlValue("video0", V4L2_CID_BRIGHTNESS), -20);
  EXPECT_EQ(camera.GetControl(ControlKind::VideoProcAmp, VideoProcAmp_Gain, &s), E_PROP_ID_UNSUPPORTED_VALUE);
  EXPECT_EQ(camera.GetControl(ControlKind::CameraControl, CameraControl_Roll, &s), E_PROP_ID_UNSUPPORTED_VALUE);
}

TEST_F(V4l2Test, Yuy2AndMjpgStreamThroughTheGraphIntoTheHolder) {
  fake_->Add("video0", DocumentCamera());
  UseFakeDevices();
  CUSBCamra camera;
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(camera.CountDevices(L"1b3f", L"2202"), 1);
  EXPECT_EQ(camera.CountDevicesByName(L"USB Document Camera: Main"), 1);
  const HWND combo = vqtest::FakeWindow(13);
  EXPECT_EQ(camera.EnumDevices(combo), 1);
  EXPECT_EQ(recorder_.ComboStrings(combo), std::vector<std::wstring>{L"USB Document Camera: Main"});
  struct Case {
    int subtype;
    cv::Size size;
  };
  for (const Case& c : {Case{VIDEO_SUBTYPE_YUY2, {640, 480}}, Case{VIDEO_SUBTYPE_YUY2, {1280, 960}},
                        Case{VIDEO_SUBTYPE_MJPG, {640, 480}}, Case{VIDEO_SUBTYPE_MJPG, {1280, 960}}}) {
    SCOPED_TRACE(testing::Message() << c.size << " subtype " << c.subtype);
    recorder_.Clear();
    camera.SetSubtype(c.subtype);
    ASSERT_EQ(camera.SetResolution(c.size.width, c.size.height), S_OK);
    ASSERT_EQ(camera.Open(L"1b3f", L"2202", nullptr, kMainWindow, false, 0), S_OK);
    ASSERT_TRUE(camera.Run());
    cv::Mat frame = vqtest::WaitForFrame(camera, recorder_, kPreview, 2);
    ASSERT_EQ(frame.size(), c.size);
    EXPECT_LT(MeanDifference(frame, FakeV4l2::Picture(c.size.width, c.size.height)), 4.0);
    EXPECT_TRUE(camera.Stop());
  }
  EXPECT_EQ(camera.GetFormatCount(), 2);  // the YUY2 sizes
}

// Frames still arrive beside the device change, so look for its own message.
static WPARAM FirstDeviceChange(const std::vector<vqtest::RecordedMessage>& messages) {
  for (const auto& m : messages)
    if (m.message == vq::dshow::kWmDeviceChange) return m.wParam;
  return 0;
}

TEST_F(V4l2Test, PropertyFrameSetsTheDevicesControlsAndCancelPutsThemBack) {
  fake_->Add("video0", DocumentCamera());
  UseFakeDevices();
  CUSBCamra camera;
  ASSERT_EQ(camera.Open(L"1b3f", L"2202", nullptr, kMainWindow, false, 0), S_OK);
  // The proc amp page holds brightness alone, the camera control page exposure alone.
  auto slider = [](HWND frame) {
    for (HWND c = GetWindow(frame, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (IsWindowVisible(c) && GetDlgItem(c, 1001)) return GetDlgItem(c, 1001);
    return HWND{};
  };
  vqplatform::ModalScript script({
      [&](HWND frame) {
        SetFocus(slider(frame));
        vqplatform::PressKey(VK_RIGHT);
      },
      [&](HWND frame) {
        EXPECT_EQ(fake_->ControlValue("video0", V4L2_CID_BRIGHTNESS), 6);
        SendDlgItemMessageW(frame, 100, TCM_SETCURSEL, 1, 0);
        NMHDR changed{GetDlgItem(frame, 100), 100, TCN_SELCHANGE};
        SendMessageW(frame, WM_NOTIFY, 100, reinterpret_cast<LPARAM>(&changed));
        vqplatform::ClickControl(GetParent(slider(frame)), 1003);  // exposure by hand
      },
      [&](HWND frame) {
        EXPECT_EQ(fake_->ControlValue("video0", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
        vqplatform::ClickControl(frame, IDCANCEL);
      },
  });
  camera.ShowFilterPages(nullptr);
  EXPECT_EQ(script.StepsRun(), 3u);
  EXPECT_EQ(fake_->ControlValue("video0", V4L2_CID_BRIGHTNESS), 5);
  EXPECT_EQ(fake_->ControlValue("video0", V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY);
}

TEST_F(V4l2Test, UnplugAndReplugReachWindowsAndTheGraph) {
  fake_->Add("video0", DocumentCamera());
  fake_->Add("video1", MetadataNodeOf(DocumentCamera()));
  UseFakeDevices();
  CUSBCamra camera;
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(camera.Open(L"1b3f", L"2202", nullptr, kMainWindow, false, 0), S_OK);
  ASSERT_TRUE(camera.Run());
  ASSERT_FALSE(vqtest::WaitForFrame(camera, recorder_, kPreview).empty());
  int status = -1;
  long code = 0;
  ASSERT_TRUE(camera.PollEvent(&status, &code));
  EXPECT_EQ(status, VIDEO_EVENT_NONE);

  recorder_.Clear();
  fake_->Unplug("video1");
  fake_->Unplug("video0");
  ASSERT_TRUE(recorder_.WaitFor(nullptr, vq::dshow::kWmDeviceChange, 1));
  EXPECT_EQ(FirstDeviceChange(recorder_.Messages()), vq::dshow::kDbtDeviceRemoveComplete);
  ASSERT_TRUE(camera.PollEvent(&status, &code));
  EXPECT_EQ(status, VIDEO_EVENT_DEVICE_LOST);
  EXPECT_EQ(code, EC_DEVICE_LOST);
  EXPECT_EQ(camera.CountDevices(L"1b3f", L"2202"), 0);

  recorder_.Clear();
  fake_->Replug("video0");
  ASSERT_TRUE(recorder_.WaitFor(nullptr, vq::dshow::kWmDeviceChange, 1));
  EXPECT_EQ(FirstDeviceChange(recorder_.Messages()), vq::dshow::kDbtDeviceArrival);
  ASSERT_TRUE(camera.PollEvent(&status, &code));
  EXPECT_EQ(status, VIDEO_EVENT_OTHER_DEVICE);
  EXPECT_EQ(camera.CountDevices(L"1b3f", L"2202"), 1);

  // Streaming works again on the returned camera.
  CUSBCamra reopened;
  reopened.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  camera.Stop();
  ASSERT_EQ(reopened.Open(L"1b3f", L"2202", nullptr, kMainWindow, false, 0), S_OK);
  recorder_.Clear();
  ASSERT_TRUE(reopened.Run());
  EXPECT_FALSE(vqtest::WaitForFrame(reopened, recorder_, kPreview).empty());
}

TEST_F(V4l2Test, SnapshotButtonOfTheInputDeviceIsTheStillPin) {
  fake_->Add("video0", DocumentCamera());
  UseFakeDevices();
  CUSBCamra camera;
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(camera.Open(L"1b3f", L"2202", nullptr, kMainWindow, true, 0), S_OK);
  ASSERT_TRUE(camera.Run());
  ASSERT_FALSE(vqtest::WaitForFrame(camera, recorder_, kPreview).empty());
  EXPECT_EQ(recorder_.Count(kMainWindow, WM_VIDEO_STILL_READY), 0u);
  fake_->PressButton("event7");
  ASSERT_TRUE(recorder_.WaitFor(kMainWindow, WM_VIDEO_STILL_READY, 1));
  fake_->PressButton("event7");
  ASSERT_TRUE(recorder_.WaitFor(kMainWindow, WM_VIDEO_STILL_READY, 2));
}

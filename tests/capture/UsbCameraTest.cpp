// The USB camera source on virtual cameras: finding a camera, opening it at
// each size and format, streaming into the frame holder, formats, controls,
// the snapshot button, unplugging and rebuilding the graph.
#include <chrono>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "capture/CameraDevices.h"
#include "platform/dshow/FrameConversion.h"
#include "platform/dshow/VirtualFrameSource.h"
#include "platform/win/MessageBox.h"
#include "tests/capture/CameraFixture.h"

using vq::dshow::VirtualCameraConfig;
using vqtest::FakeWindow;
using vqtest::WaitForFrame;

namespace {

const HWND kMainWindow = FakeWindow(1);
const HWND kPreview = FakeWindow(2);

double MeanDifference(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat d;
  cv::absdiff(a, b, d);
  cv::Scalar s = cv::mean(d);
  return (s[0] + s[1] + s[2]) / 3.0;
}

class UsbCamera : public vqtest::CameraTest {};

}  // namespace

TEST_F(UsbCamera, OpensByIdsAndStreamsBottomUpBgrIntoTheHolder) {
  Plug(Quick());
  CUSBCamra camera;
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_CLOSED);
  EXPECT_EQ(camera.GetGrabData(), nullptr);
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(camera.Open(L"5651", L"D0C0", nullptr, kMainWindow, true, 0), S_OK);  // ids in any case
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_STOPPED);
  int w = 0, h = 0;
  camera.GetResolution(&w, &h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  ASSERT_TRUE(camera.Run());
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_RUNNING);

  cv::Mat frame = WaitForFrame(camera, recorder_, kPreview, 2);
  ASSERT_EQ(frame.size(), cv::Size(640, 480));
  cv::Mat expected = vq::dshow::RenderDeskWithSheet(cv::Size(640, 480));
  EXPECT_LT(MeanDifference(frame, expected), 4.0);
  // The holder keeps the bottom row first.
  CDPrgb24 held;
  ASSERT_TRUE(camera.GetGrabData()->GetFrame(&held));
  cv::Mat firstRow(1, 640, CV_8UC3, held.GetBuffer());
  EXPECT_LT(MeanDifference(firstRow, expected.row(479)), 6.0);
  EXPECT_TRUE(camera.Stop());
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_STOPPED);
}

TEST_F(UsbCamera, OpensAtEverySizeAndSubtype) {
  const VirtualCameraConfig config = VirtualCameraConfig::Document();
  auto device = Plug(config);
  CUSBCamra camera;
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  const auto sizes = config.sizes;
  ASSERT_EQ(sizes.back(), cv::Size(2592, 1944));
  for (int subtype : {VIDEO_SUBTYPE_YUY2, VIDEO_SUBTYPE_MJPG}) {
    for (const auto& size : sizes) {
      SCOPED_TRACE(testing::Message() << size << " subtype " << subtype);
      recorder_.Clear();
      camera.SetSubtype(subtype);
      ASSERT_EQ(camera.SetResolution(size.width, size.height), S_OK);
      ASSERT_EQ(camera.Open(config.vendorId.c_str(), config.productId.c_str(), nullptr, kMainWindow, true, 0), S_OK);
      ASSERT_TRUE(camera.Run());
      cv::Mat frame = WaitForFrame(camera, recorder_, kPreview);
      EXPECT_EQ(frame.size(), size);
      vq::dshow::CaptureFormat streamed{};
      ASSERT_TRUE(device->LastStreamFormat(&streamed));
      EXPECT_EQ(streamed.subtype, subtype == VIDEO_SUBTYPE_MJPG ? MEDIASUBTYPE_MJPG : MEDIASUBTYPE_YUY2);
      EXPECT_EQ(cv::Size(streamed.width, streamed.height), size);
      ASSERT_TRUE(camera.Stop());
    }
  }
}

TEST_F(UsbCamera, MjpgFramesArriveDecoded) {
  Plug(Quick());
  CUSBCamra camera;
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  camera.SetSubtype(VIDEO_SUBTYPE_MJPG);
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, false, 0), S_OK);
  ASSERT_TRUE(camera.Run());
  cv::Mat frame = WaitForFrame(camera, recorder_, kPreview);
  ASSERT_EQ(frame.size(), cv::Size(640, 480));
  EXPECT_LT(MeanDifference(frame, vq::dshow::RenderDeskWithSheet(cv::Size(640, 480))), 5.0);
}

TEST_F(UsbCamera, ChoosesTheClosestYuy2SizeFirstOfEqualDistances) {
  auto c = Quick();
  c.sizes = {{640, 480}, {1280, 1024}, {1600, 1200}};
  Plug(c);
  CUSBCamra camera;
  ASSERT_EQ(camera.SetResolution(1280, 960), S_OK);
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, false, 0), S_OK);
  int w = 0, h = 0;
  camera.GetResolution(&w, &h);
  EXPECT_EQ(cv::Size(w, h), cv::Size(1280, 1024));  // difference 81920

  vq::dshow::RemoveVirtualCameras();
  auto tie = Quick();
  tie.sizes = {{1000, 1000}, {1200, 1000}};
  Plug(tie);
  CUSBCamra second;
  ASSERT_EQ(second.SetResolution(1100, 1000), S_OK);
  ASSERT_EQ(second.Open(L"5651", L"d0c0", nullptr, kMainWindow, false, 0), S_OK);
  second.GetResolution(&w, &h);
  EXPECT_EQ(cv::Size(w, h), cv::Size(1000, 1000));
}

TEST_F(UsbCamera, FindsCamerasByExtraIdAndFriendlyName) {
  auto a = Quick();
  a.instance = L"aaaa0001";
  a.friendlyName = L"Cam A";
  a.sizes = {{640, 480}};
  auto b = a;
  b.instance = L"bbbb0002";
  b.friendlyName = L"Cam B";
  b.sizes = {{1280, 960}};
  Plug(a);
  Plug(b);
  CUSBCamra camera;
  EXPECT_EQ(camera.CountDevices(L"5651", L"d0c0"), 2);
  EXPECT_EQ(camera.CountDevicesById(L"5651", L"d0c0", L"BBBB"), 1);
  EXPECT_EQ(camera.CountDevicesByName(L"Cam A"), 1);
  EXPECT_EQ(camera.CountDevices(nullptr, L"d0c0"), -1);
  EXPECT_EQ(camera.CountDevicesByName(nullptr), -1);
  EXPECT_EQ(camera.GetDeviceName(L"5651", L"d0c0", 1), CString(L"Cam B"));
  EXPECT_TRUE(camera.GetDeviceName(L"5651", L"d0c0", 2).IsEmpty());

  int w = 0, h = 0;
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", L"bbbb0002", kMainWindow, false, 0), S_OK);
  camera.GetResolution(&w, &h);
  EXPECT_EQ(w, 1280);

  CUSBCamra byName;
  ASSERT_EQ(byName.Open(nullptr, nullptr, L"Cam B", kMainWindow, false, 0), S_OK);
  byName.GetResolution(&w, &h);
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(byName.Open(nullptr, nullptr, L"cam b", kMainWindow, false, 0), S_FALSE);
  EXPECT_EQ(byName.GetState(), VIDEO_STATE_CLOSED);

  // The index does not choose among matching cameras: index 1 binds the first.
  CUSBCamra second;
  ASSERT_EQ(second.Open(L"5651", L"d0c0", nullptr, kMainWindow, false, 1), S_OK);
  second.GetResolution(&w, &h);
  EXPECT_EQ(w, 640);
}

TEST_F(UsbCamera, PathMatchingStaysInsideThePath) {
  using vqcapture::PathMatches;
  const wchar_t* path = L"\\\\?\\usb#vid_5651&pid_d0c0&mi_00#6&aaaa0001&0&0000#{guid}";
  EXPECT_TRUE(PathMatches(path, L"5651", L"D0C0", nullptr));
  EXPECT_TRUE(PathMatches(path, L"5651", L"d0c0", L"AAAA"));
  EXPECT_FALSE(PathMatches(path, L"565", L"d0c0", nullptr));    // three characters never match
  EXPECT_FALSE(PathMatches(path, L"56511", L"d0c0", nullptr));  // nor five
  EXPECT_FALSE(PathMatches(path, L"5651", L"d0c0", L"bbbb"));
  EXPECT_FALSE(PathMatches(L"usb#vid", L"5651", L"d0c0", nullptr));      // ends right after "vid"
  EXPECT_FALSE(PathMatches(L"pid_d0c0 vid_56", L"5651", L"d0c0", nullptr));
  EXPECT_FALSE(PathMatches(L"vid_5651&pid_d0c0", L"5651", L"d0c0", L"x"));  // shorter than 34
  EXPECT_FALSE(PathMatches(nullptr, L"5651", L"d0c0", nullptr));
  std::wstring huge(300, L'a');
  EXPECT_FALSE(PathMatches((L"vid_5651&pid_d0c0" + huge).c_str(), L"5651", L"d0c0", nullptr));
}

TEST_F(UsbCamera, MissingCameraLeavesTheSourceClosed) {
  Plug(Quick());
  CUSBCamra camera;
  EXPECT_EQ(camera.Open(nullptr, L"d0c0", nullptr, kMainWindow, false, 0), E_POINTER);
  EXPECT_EQ(camera.Open(L"ffff", L"ffff", nullptr, kMainWindow, false, 0), S_FALSE);
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_CLOSED);
  EXPECT_FALSE(camera.Run());
  EXPECT_FALSE(camera.Stop());
  // Without ids only the size is recorded.
  EXPECT_EQ(camera.SetResolution(800, 600), S_OK);
  int w = 0, h = 0;
  camera.GetResolution(&w, &h);
  EXPECT_EQ(cv::Size(w, h), cv::Size(800, 600));
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_CLOSED);
  long value = 0, flags = 0;
  EXPECT_EQ(camera.GetCameraControl(CameraControl_Exposure, &value, &flags), E_POINTER);
  EXPECT_EQ(camera.SetVideoProcAmp(VideoProcAmp_Brightness, &value), E_POINTER);
  int status = -1;
  long code = 0;
  EXPECT_FALSE(camera.PollEvent(&status, &code));
  EXPECT_TRUE(camera.TriggerStill().empty());
}

TEST_F(UsbCamera, GraphThatCannotBeBuiltIsReportedAndClosed) {
  auto c = Quick();
  c.sizes.clear();  // a camera that offers no format connects to nothing
  Plug(c);
  vqplatform::ClearMessageBoxLog();
  CUSBCamra camera;
  EXPECT_TRUE(FAILED(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, false, 0)));
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_CLOSED);
  EXPECT_EQ(camera.GetGrabData(), nullptr);
  ASSERT_EQ(vqplatform::MessageBoxLog().size(), 1u);
  EXPECT_EQ(vqplatform::MessageBoxLog()[0].text, L"Can't build the graph");
  EXPECT_EQ(camera.SetResolution(640, 480), S_OK);  // the ids are gone: only recorded
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_CLOSED);
}

TEST_F(UsbCamera, ControlsSnapToTheirStepsAndOutOfRangeMeansAutomatic) {
  Plug(Quick());
  CUSBCamra camera;
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, false, 0), S_OK);
  long value = 0, flags = 0, min, max, step, dflt, caps;
  ASSERT_EQ(camera.GetCameraControlRange(CameraControl_Focus, &min, &max, &step, &dflt, &caps), S_OK);
  EXPECT_EQ(step, 5);

  EXPECT_EQ(camera.SetCameraControl(CameraControl_Focus, 13), S_OK);  // between 10 and 15
  ASSERT_EQ(camera.GetCameraControl(CameraControl_Focus, &value, &flags), S_OK);
  EXPECT_EQ(value, 10);
  EXPECT_EQ(flags, CameraControl_Flags_Manual);

  EXPECT_EQ(camera.SetCameraControl(CameraControl_Exposure, -3), S_OK);
  ASSERT_EQ(camera.GetCameraControl(CameraControl_Exposure, &value, &flags), S_OK);
  EXPECT_EQ(value, -3);
  EXPECT_EQ(flags, CameraControl_Flags_Manual);
  EXPECT_EQ(camera.SetCameraControl(CameraControl_Exposure, 4), S_OK);  // above the maximum
  ASSERT_EQ(camera.GetCameraControl(CameraControl_Exposure, &value, &flags), S_OK);
  EXPECT_EQ(flags, CameraControl_Flags_Auto);

  long wb = 3333;
  EXPECT_EQ(camera.SetVideoProcAmp(VideoProcAmp_WhiteBalance, &wb), S_OK);
  EXPECT_EQ(wb, 3330);
  ASSERT_EQ(camera.GetVideoProcAmp(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
  EXPECT_EQ(value, 3330);
  EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
  long brightness = 500;  // out of range: the default, written back
  EXPECT_EQ(camera.SetVideoProcAmp(VideoProcAmp_Brightness, &brightness), S_OK);
  EXPECT_EQ(brightness, 0);
  ASSERT_EQ(camera.GetVideoProcAmpRange(VideoProcAmp_Contrast, &min, &max, &step, &dflt, &caps), S_OK);
  EXPECT_EQ(max, 100);
  EXPECT_TRUE(FAILED(camera.SetCameraControl(CameraControl_Zoom, 1)));  // no such control
}

TEST_F(UsbCamera, ControlReportingStepZeroDoesNotCrash) {
  auto c = Quick();
  for (auto& s : c.cameraControl) s.step = 0;
  for (auto& s : c.procAmp) s.step = 0;
  Plug(c);
  CUSBCamra camera;
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, false, 0), S_OK);
  EXPECT_EQ(camera.SetCameraControl(CameraControl_Focus, 13), S_OK);
  long value = 0, flags = 0;
  ASSERT_EQ(camera.GetCameraControl(CameraControl_Focus, &value, &flags), S_OK);
  EXPECT_EQ(value, 13);
  long gain = 7;
  EXPECT_EQ(camera.SetVideoProcAmp(VideoProcAmp_Gain, &gain), S_OK);
  EXPECT_EQ(gain, 7);
}

TEST_F(UsbCamera, SnapshotButtonAndTriggerPostStillReady) {
  auto device = Plug(Quick());
  CUSBCamra camera;
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, true, 0), S_OK);
  ASSERT_TRUE(camera.Run());
  ASSERT_FALSE(WaitForFrame(camera, recorder_, kPreview).empty());
  EXPECT_EQ(recorder_.Count(kMainWindow, WM_VIDEO_STILL_READY), 0u);
  device->PressSnapshotButton();
  ASSERT_TRUE(recorder_.WaitFor(kMainWindow, WM_VIDEO_STILL_READY, 1));
  EXPECT_TRUE(camera.TriggerStill().empty());
  ASSERT_TRUE(recorder_.WaitFor(kMainWindow, WM_VIDEO_STILL_READY, 2));
  // One message per still sample, no more.
  ASSERT_TRUE(recorder_.WaitFor(kPreview, WM_VIDEO_FRAME, recorder_.Count(kPreview, WM_VIDEO_FRAME) + 3));
  EXPECT_EQ(recorder_.Count(kMainWindow, WM_VIDEO_STILL_READY), 2u);
}

TEST_F(UsbCamera, CameraWithoutStillPinOpensWithoutTheStillBranch) {
  auto c = Quick();
  c.stillPin = false;
  auto device = Plug(c);
  CUSBCamra camera;
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, true, 0), S_OK);
  ASSERT_TRUE(camera.Run());
  ASSERT_FALSE(WaitForFrame(camera, recorder_, kPreview).empty());
  device->PressSnapshotButton();
  camera.TriggerStill();
  ASSERT_TRUE(recorder_.WaitFor(kPreview, WM_VIDEO_FRAME, recorder_.Count(kPreview, WM_VIDEO_FRAME) + 3));
  EXPECT_EQ(recorder_.Count(kMainWindow, WM_VIDEO_STILL_READY), 0u);
}

TEST_F(UsbCamera, UnpluggingIsReportedThroughPollEvent) {
  auto document = Plug(Quick());
  auto portrait = Plug(Quick(L"5651", L"b0f0"));
  CUSBCamra camera;
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, false, 0), S_OK);
  ASSERT_TRUE(camera.Run());
  ASSERT_FALSE(WaitForFrame(camera, recorder_, kPreview).empty());
  int status = -1;
  long code = 0;
  ASSERT_TRUE(camera.PollEvent(&status, &code));
  EXPECT_EQ(status, VIDEO_EVENT_NONE);

  portrait->Unplug();  // not this graph's camera: nothing for it
  ASSERT_TRUE(camera.PollEvent(&status, &code));
  EXPECT_EQ(status, VIDEO_EVENT_NONE);

  document->Unplug();
  ASSERT_TRUE(camera.PollEvent(&status, &code));
  EXPECT_EQ(status, VIDEO_EVENT_DEVICE_LOST);
  EXPECT_EQ(code, EC_DEVICE_LOST);
  size_t removals = 0;
  for (const auto& m : recorder_.Messages())
    if (!m.window && m.message == 0x0219 && m.wParam == 0x8004) ++removals;
  EXPECT_EQ(removals, 2u);
  EXPECT_EQ(camera.CountDevices(L"5651", L"d0c0"), 0);

  document->Replug();
  ASSERT_TRUE(camera.PollEvent(&status, &code));
  EXPECT_EQ(status, VIDEO_EVENT_OTHER_DEVICE);
  EXPECT_EQ(camera.CountDevices(L"5651", L"d0c0"), 1);
}

TEST_F(UsbCamera, BrokenTransferAbortsTheGraph) {
  auto device = Plug(Quick());
  CUSBCamra camera;
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, false, 0), S_OK);
  ASSERT_TRUE(camera.Run());
  ASSERT_FALSE(WaitForFrame(camera, recorder_, kPreview).empty());
  device->SetTransferErrors(true);
  int status = VIDEO_EVENT_NONE;
  long code = 0;
  for (int i = 0; i < 500 && status == VIDEO_EVENT_NONE; ++i) {
    ASSERT_TRUE(camera.PollEvent(&status, &code));
    if (status == VIDEO_EVENT_NONE) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(status, VIDEO_EVENT_ABORTED);
  EXPECT_EQ(code, EC_ERRORABORT);
  // Stopping and running again streams once the camera recovers.
  device->SetTransferErrors(false);
  ASSERT_TRUE(camera.Stop());
  const size_t before = recorder_.Count(kPreview, WM_VIDEO_FRAME);
  ASSERT_TRUE(camera.Run());
  EXPECT_TRUE(recorder_.WaitFor(kPreview, WM_VIDEO_FRAME, before + 1));
}

TEST_F(UsbCamera, ResolutionChangeRebuildsTheGraphAndLeavesItStopped) {
  Plug(Quick());
  CUSBCamra camera;
  camera.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, true, 0), S_OK);
  ASSERT_TRUE(camera.Run());
  ASSERT_EQ(WaitForFrame(camera, recorder_, kPreview).size(), cv::Size(640, 480));
  EXPECT_EQ(camera.SetResolution(640, 480), S_OK);
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_RUNNING);  // the same size: nothing rebuilt

  ASSERT_EQ(camera.SetResolution(1280, 960), S_OK);
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_STOPPED);
  int w = 0, h = 0;
  camera.GetResolution(&w, &h);
  EXPECT_EQ(cv::Size(w, h), cv::Size(1280, 960));
  recorder_.Clear();
  ASSERT_TRUE(camera.Run());
  EXPECT_EQ(WaitForFrame(camera, recorder_, kPreview).size(), cv::Size(1280, 960));

  ASSERT_EQ(camera.SetFormatIndex(0), S_OK);  // the 1280 x 960 open chose index 1
  camera.GetResolution(&w, &h);
  EXPECT_EQ(cv::Size(w, h), cv::Size(640, 480));
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_STOPPED);
}

TEST_F(UsbCamera, DocumentAndPortraitCamerasStreamAtOnce) {
  Plug(Quick());
  auto p = Quick(L"5651", L"b0f0");
  p.sizes = {{640, 480}};
  p.friendlyName = L"Virtual Portrait Camera";
  Plug(p);
  const HWND portraitPreview = FakeWindow(7);
  CUSBCamra document, portrait;
  document.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  portrait.SetNotifyWindow(portraitPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(document.SetResolution(1280, 960), S_OK);
  ASSERT_EQ(document.Open(L"5651", L"d0c0", nullptr, kMainWindow, true, 0), S_OK);
  ASSERT_EQ(portrait.Open(L"5651", L"b0f0", nullptr, kMainWindow, true, 1), S_OK);
  ASSERT_TRUE(document.Run());
  ASSERT_TRUE(portrait.Run());
  EXPECT_EQ(WaitForFrame(document, recorder_, kPreview, 3).size(), cv::Size(1280, 960));
  EXPECT_EQ(WaitForFrame(portrait, recorder_, portraitPreview, 3).size(), cv::Size(640, 480));
}

TEST_F(UsbCamera, FormatQueriesReportYuy2SizesAndSubtypes) {
  auto c = Quick();
  c.mjpgFirst = true;  // MJPG listed before YUY2
  Plug(c);
  CUSBCamra camera;
  EXPECT_EQ(camera.GetFormatCount(), -1);
  std::vector<int> subtypes{7};
  EXPECT_FALSE(camera.GetSubtypes(subtypes));
  EXPECT_TRUE(subtypes.empty());
  EXPECT_EQ(camera.GetDeviceFormatCount(L"5651", L"d0c0", 0), 2);
  int w = 0, h = 0;
  EXPECT_EQ(camera.GetDeviceFormatSize(L"5651", L"d0c0", 0, 1, &w, &h), 0);
  EXPECT_EQ(cv::Size(w, h), cv::Size(1280, 960));
  EXPECT_EQ(camera.GetDeviceFormatSize(L"5651", L"d0c0", 0, 2, &w, &h), -6);  // only two YUY2 sizes
  EXPECT_EQ(camera.GetDeviceFormatSize(L"5651", L"d0c0", 0, 4, &w, &h), -5);  // four capabilities
  ASSERT_TRUE(camera.GetDeviceSubtypes(L"5651", L"d0c0", 0, subtypes));
  EXPECT_EQ(subtypes, (std::vector<int>{0, 1}));
  EXPECT_EQ(camera.GetDeviceFormatCount(L"ffff", L"d0c0", 0), -3);

  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, kMainWindow, false, 0), S_OK);
  EXPECT_EQ(camera.GetFormatCount(), 2);
  EXPECT_EQ(camera.GetFormatSize(0, &w, &h), 0);
  EXPECT_EQ(cv::Size(w, h), cv::Size(640, 480));
  ASSERT_TRUE(camera.GetSubtypes(subtypes));
  EXPECT_EQ(subtypes.size(), 2u);
  EXPECT_EQ(camera.GetDeviceFormatCount(L"5651", L"d0c0", 1), -1);  // another index while built
  EXPECT_EQ(camera.GetState(), VIDEO_STATE_STOPPED);
}

TEST_F(UsbCamera, CamerasWithoutOrWithUnreadableCapabilities) {
  auto none = Quick(L"5651", L"0001");
  none.sizes.clear();
  Plug(none);
  auto broken = Quick(L"5651", L"0002");
  broken.unreadableFormat = 1;
  Plug(broken);
  auto mjpgOnly = Quick(L"5651", L"0003");
  mjpgOnly.yuy2 = false;
  Plug(mjpgOnly);
  CUSBCamra camera;
  int w = 0, h = 0;
  EXPECT_EQ(camera.GetDeviceFormatCount(L"5651", L"0001", 0), 0);
  EXPECT_EQ(camera.GetDeviceFormatSize(L"5651", L"0001", 0, 0, &w, &h), -4);
  EXPECT_EQ(camera.GetDeviceFormatCount(L"5651", L"0002", 0), -6);
  EXPECT_EQ(camera.GetDeviceFormatSize(L"5651", L"0002", 0, 0, &w, &h), 0);
  EXPECT_EQ(camera.GetDeviceFormatSize(L"5651", L"0002", 0, 1, &w, &h), -6);
  std::vector<int> subtypes;
  EXPECT_FALSE(camera.GetDeviceSubtypes(L"5651", L"0002", 0, subtypes));
  EXPECT_EQ(camera.GetDeviceFormatCount(L"5651", L"0003", 0), 0);
  ASSERT_TRUE(camera.GetDeviceSubtypes(L"5651", L"0003", 0, subtypes));
  EXPECT_EQ(subtypes, (std::vector<int>{1}));
}

TEST_F(UsbCamera, EnumDevicesListsFriendlyNames) {
  CUSBCamra camera;
  const HWND combo = FakeWindow(9);
  EXPECT_EQ(camera.EnumDevices(combo), -1);  // nothing attached
  EXPECT_EQ(camera.CountDevices(L"5651", L"d0c0"), 0);
  auto a = Quick();
  a.friendlyName = L"First";
  auto b = Quick(L"5651", L"b0f0");
  b.friendlyName = L"Second";
  Plug(a);
  Plug(b);
  EXPECT_EQ(camera.EnumDevices(nullptr), -1);
  EXPECT_EQ(camera.EnumDevices(combo), 2);
  EXPECT_EQ(recorder_.ComboStrings(combo), (std::vector<std::wstring>{L"First", L"Second"}));
}

// The virtual camera: its listing through VQ_VIRTUAL_CAMERA, its device
// path, unplugging, what it shows and how it sends motion-JPEG.
#include <chrono>
#include <cstdlib>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "capture/CameraDevices.h"
#include "capture/CameraFormatProbe.h"
#include "platform/dshow/FrameConversion.h"
#include "tests/capture/CameraFixture.h"
#include "platform/win/Clock.h"
#include "tests/support/TestEnv.h"

using namespace vq::dshow;

namespace {
class VirtualCameraTest : public vqtest::CameraTest {
 protected:
  void TearDown() override {
    unsetenv("VQ_VIRTUAL_CAMERA");
    vqtest::CameraTest::TearDown();
  }
};
}  // namespace

TEST_F(VirtualCameraTest, EnvironmentListsTheCameras) {
  CUSBCamra source;
  EXPECT_EQ(source.CountDevices(VirtualVendorId().c_str(), VirtualDocumentProductId().c_str()), 0);
  setenv("VQ_VIRTUAL_CAMERA", "1", 1);
  EXPECT_EQ(source.CountDevices(VirtualVendorId().c_str(), VirtualDocumentProductId().c_str()), 1);
  EXPECT_EQ(source.CountDevices(VirtualVendorId().c_str(), VirtualPortraitProductId().c_str()), 0);
  setenv("VQ_VIRTUAL_CAMERA", "document;portrait;vid=abcd,pid=0123,name=Desk,sizes=320x240,fps=30", 1);
  EXPECT_EQ(source.CountDevices(VirtualVendorId().c_str(), VirtualPortraitProductId().c_str()), 1);
  EXPECT_EQ(source.CountDevicesByName(L"Desk"), 1);
  CCameraFormatProbe probe;
  EXPECT_EQ(probe.GetFormatCount(L"abcd", L"0123", 0), 1);
  setenv("VQ_VIRTUAL_CAMERA", "vid=abcd,bogus", 1);  // malformed: no camera
  EXPECT_EQ(source.CountDevicesByName(L"Desk"), 0);
  EXPECT_EQ(source.CountDevices(VirtualVendorId().c_str(), VirtualDocumentProductId().c_str()), 0);
}

TEST_F(VirtualCameraTest, CameraLeavingTheListIsUnpluggedAndTheOthersStay) {
  setenv("VQ_VIRTUAL_CAMERA", "document;portrait", 1);
  const auto before = VirtualCameras();
  ASSERT_EQ(before.size(), 2u);
  setenv("VQ_VIRTUAL_CAMERA", "portrait;vid=abcd,pid=0123", 1);
  const auto after = VirtualCameras();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], before[1]) << "the portrait camera keeps running";
  EXPECT_TRUE(after[0]->IsPresent());
  EXPECT_FALSE(before[0]->IsPresent()) << "the document camera was unplugged";
  EXPECT_EQ(after[1]->Config().vendorId, L"abcd");
}

TEST_F(VirtualCameraTest, ParsesItsListStrictly) {
  std::vector<VirtualCameraConfig> list;
  EXPECT_TRUE(ParseVirtualCameraList("", &list));
  EXPECT_TRUE(list.empty());
  ASSERT_TRUE(ParseVirtualCameraList("vid=1234,pid=abcd,still=0,sizes=640x480+320x240,instance=0000beef", &list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].vendorId, L"1234");
  EXPECT_FALSE(list[0].stillPin);
  EXPECT_EQ(list[0].sizes, (std::vector<cv::Size>{{640, 480}, {320, 240}}));
  EXPECT_FALSE(ParseVirtualCameraList("sizes=641x480", &list));  // YUY2 needs even widths
  EXPECT_FALSE(ParseVirtualCameraList("fps=0", &list));
  EXPECT_FALSE(ParseVirtualCameraList("script=other", &list));
  EXPECT_FALSE(ParseVirtualCameraList("colour=red", &list));
  EXPECT_TRUE(list.empty());
}

TEST_F(VirtualCameraTest, DevicePathCarriesTheIdsWhereTheyAreMatched) {
  auto c = Quick(L"ABCD", L"12Ef");
  c.instance = L"0000beef";
  auto camera = Plug(c);
  const std::wstring path = camera->DevicePath();
  EXPECT_TRUE(vqcapture::PathMatches(path.c_str(), L"abcd", L"12ef", L"0000BEEF"));
  EXPECT_EQ(path.substr(34, 8), L"0000beef");
  // Cameras with the same ids get different instances.
  auto twin = Plug(Quick(L"ABCD", L"12Ef"));
  EXPECT_NE(twin->DevicePath(), Plug(Quick(L"ABCD", L"12Ef"))->DevicePath());
}

TEST_F(VirtualCameraTest, UnplugAndReplugTellTheTopLevelWindows) {
  auto camera = Plug(Quick());
  recorder_.Clear();
  CUSBCamra source;
  EXPECT_EQ(source.CountDevices(L"5651", L"d0c0"), 1);
  camera->Unplug();
  camera->Unplug();  // once is enough
  EXPECT_EQ(source.CountDevices(L"5651", L"d0c0"), 0);
  EXPECT_EQ(source.Open(L"5651", L"d0c0", nullptr, nullptr, false, 0), S_FALSE);
  camera->Replug();
  EXPECT_EQ(source.CountDevices(L"5651", L"d0c0"), 1);
  auto messages = recorder_.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].message, 0x0219u);
  EXPECT_EQ(messages[0].wParam, 0x8004u);
  EXPECT_EQ(messages[1].wParam, 0x8000u);
}

TEST_F(VirtualCameraTest, SendsMotionJpegWithoutHuffmanTables) {
  auto camera = Plug(Quick());
  CaptureFormat mjpg{MEDIASUBTYPE_MJPG, 640, 480, 166667};
  auto payload = camera->Payload(0, mjpg);
  ASSERT_TRUE(payload && payload->size() > 100);
  EXPECT_FALSE(HasHuffmanTables(payload->data(), payload->size()));
  EXPECT_EQ(camera->Payload(0, mjpg), payload);  // encoded once
  CaptureFormat yuy2{MEDIASUBTYPE_YUY2, 640, 480, 166667};
  EXPECT_EQ(camera->Payload(0, yuy2)->size(), size_t(640 * 480 * 2));
}

TEST_F(VirtualCameraTest, ShowsTheImagesOfAFolderInTurn) {
  auto folder = vqtest::TempPath("pictures");
  std::filesystem::create_directories(folder);
  cv::imwrite((folder / "b.png").string(), cv::Mat(120, 160, CV_8UC3, cv::Scalar(0, 0, 200)));
  cv::imwrite((folder / "a.png").string(), cv::Mat(120, 160, CV_8UC3, cv::Scalar(200, 0, 0)));
  vqtest::WriteFile(folder / "notes.txt", "not a picture");
  VirtualContent content;
  content.kind = VirtualContent::Kind::Folder;
  content.folder = folder;
  content.secondsPerImage = 1.0;
  VirtualFrameSource frames(content);
  EXPECT_EQ(frames.KeyAt(0.5), 0);
  EXPECT_EQ(frames.KeyAt(1.5), 1);
  EXPECT_EQ(frames.KeyAt(2.5), 0);
  auto first = frames.Picture(frames.KeyAt(0.0), cv::Size(320, 240));
  ASSERT_EQ(first->size(), cv::Size(320, 240));
  EXPECT_EQ(first->at<cv::Vec3b>(100, 100), cv::Vec3b(200, 0, 0));  // a.png first
  EXPECT_EQ(frames.Picture(1, cv::Size(320, 240))->at<cv::Vec3b>(5, 5), cv::Vec3b(0, 0, 200));
}

TEST_F(VirtualCameraTest, ScriptedSceneChangesOverTime) {
  auto script = std::make_shared<vqscene::SceneScript>(vqscene::EmptyDesk(cv::Size(320, 240)), 3);
  script->ClearDesk(1).LaySheet(1).Wait(2);
  VirtualContent content;
  content.kind = VirtualContent::Kind::Script;
  content.script = script;
  VirtualFrameSource frames(content);
  auto empty = frames.Picture(frames.KeyAt(0.5), cv::Size(320, 240));
  auto sheet = frames.Picture(frames.KeyAt(3.0), cv::Size(320, 240));
  EXPECT_GT(cv::mean(*sheet)[1], cv::mean(*empty)[1] + 10);  // a light sheet now lies there
  EXPECT_EQ(frames.KeyAt(3.0), frames.KeyAt(3.0 + script->Duration()));  // played in a loop
}

TEST_F(VirtualCameraTest, FramesFollowTheSystemClockWhenTestsRunItByHand) {
  vqplatform::ManualClockScope manual;
  auto config = Quick();
  config.sizes = {{320, 240}};
  config.framesPerSecond = 10;
  auto script = std::make_shared<vqscene::SceneScript>(vqscene::EmptyDesk(cv::Size(320, 240)), 3);
  script->ClearDesk(1).LaySheet(1).Wait(5);
  config.content.kind = VirtualContent::Kind::Script;
  config.content.script = script;
  Plug(config);
  const HWND preview = vqtest::FakeWindow(4);
  CUSBCamra camera;
  camera.SetNotifyWindow(preview, WM_VIDEO_FRAME);
  ASSERT_EQ(camera.Open(L"5651", L"d0c0", nullptr, nullptr, false, 0), S_OK);
  ASSERT_TRUE(camera.Run());
  cv::Mat first = vqtest::WaitForFrame(camera, recorder_, preview, 1);  // frame 0 is due at once
  ASSERT_FALSE(first.empty());
  ASSERT_TRUE(vqplatform::Clock::WaitForTimedWaiters(1, vqtest::kPatience));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));  // real time brings nothing
  EXPECT_EQ(recorder_.Count(preview, WM_VIDEO_FRAME), 1u);
  vqplatform::Clock::Advance(100);
  ASSERT_FALSE(vqtest::WaitForFrame(camera, recorder_, preview, 2).empty());
  // Three seconds on, the sheet lies on the desk in the frame.
  ASSERT_TRUE(vqplatform::Clock::WaitForTimedWaiters(1, vqtest::kPatience));
  vqplatform::Clock::Advance(3000);
  cv::Mat later = vqtest::WaitForFrame(camera, recorder_, preview, 3);
  ASSERT_FALSE(later.empty());
  EXPECT_GT(cv::mean(later)[1], cv::mean(first)[1] + 10);
  camera.Stop();
}

// Recording through the capture controller: the virtual camera's preview
// (with the virtual microphone) into ASF files that are complete when a new
// recording starts, the camera is opened again or the controller goes.
// (Not among the ThreadSanitizer runs: the camera's frame conversion runs
// OpenCV's uninstrumented thread pool.)
#include <gtest/gtest.h>

#include <filesystem>

#include "capture/CaptureController.h"
#include "imaging/WorkFiles.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Encoding.h"
#include "tests/capture/PreviewSupport.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"

namespace {

class CaptureControllerRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("VQ_VIRTUAL_AUDIO", "1", 1);
    vq::dshow::VirtualCameraConfig config;
    config.vendorId = L"5651";
    config.productId = L"d0c0";
    config.sizes = {{1280, 960}};
    config.framesPerSecond = 15;
    camera_ = vq::dshow::PlugInVirtualCamera(config);
  }
  void TearDown() override { vq::dshow::RemoveVirtualCameras(); }

  std::unique_ptr<CCaptureController> OpenCamera() {
    auto controller = std::make_unique<CCaptureController>(true, false);
    EXPECT_EQ(controller->OpenCamera(L"5651", L"d0c0", nullptr, CWnd::FromHandle(parent_.Handle()), 0, 0, 320, 240,
                                     false, 0),
              S_OK);
    EXPECT_TRUE(controller->Run());
    EXPECT_TRUE(vqtest::PumpUntil([&] { return !controller->GetFrame().empty(); }));
    return controller;
  }
  static std::string Path(const char* name) { return (vqtest::TempDir() / name).string(); }
  static HRESULT Start(CCaptureController& controller, const std::string& path) {
    return controller.StartRecording(vq::Utf8ToWide(path).c_str(), 1280, 960, 10, 462500);
  }
  // Serves the preview until the file being written holds picture and sound
  // (read back while the recording goes on, under its hidden name: nothing
  // is under its own name yet), however slow the machine is.
  static bool Recorded(const std::string& path) {
    return vqtest::PumpUntil([&] {
      const vqtest::MediaFile file = vqtest::ReadMediaFile(vq::RecordingNameBeside(path));
      return !std::filesystem::exists(path) && file.Video() && file.Video()->packets >= 1 && file.Audio() &&
             file.Audio()->packets >= 1;
    });
  }
  // A complete file of the preview's pictures and the microphone's sound.
  static void ExpectRecording(const std::string& path) {
    vqtest::MediaFile file = vqtest::ReadMediaFile(path);
    ASSERT_TRUE(file.readable) << path;
    ASSERT_NE(file.Video(), nullptr);
    ASSERT_NE(file.Audio(), nullptr);
    EXPECT_EQ(file.Video()->width, 1280);
    EXPECT_GE(file.Video()->packets, 1);
    EXPECT_GE(file.Audio()->packets, 1);
    auto frames = vqtest::DecodeVideoFrames(path, 100);
    ASSERT_FALSE(frames.empty());
    EXPECT_GT(cv::mean(frames.back())[1], 30) << "the camera's picture, not black";
  }

  vqtest::RecordingWindow parent_;
  std::shared_ptr<vq::dshow::VirtualCamera> camera_;
};

TEST_F(CaptureControllerRecording, EachRecordingIsCompleteWhenItEnds) {
  auto controller = OpenCamera();
  const std::string first = Path("first.asf"), second = Path("second.asf"), third = Path("third.asf"),
                    last = Path("last.asf");
  // A new recording ends the one in progress; Stop ends it, once.
  ASSERT_EQ(Start(*controller, first), S_OK);
  ASSERT_TRUE(Recorded(first));
  ASSERT_EQ(Start(*controller, second), S_OK);
  ExpectRecording(first);
  ASSERT_TRUE(Recorded(second));
  EXPECT_EQ(controller->StopRecording(), S_OK);
  EXPECT_EQ(controller->StopRecording(), E_POINTER);
  ExpectRecording(second);
  // So does opening the camera again.
  ASSERT_EQ(Start(*controller, third), S_OK);
  ASSERT_TRUE(Recorded(third));
  EXPECT_EQ(controller->OpenCamera(L"5651", L"d0c0", nullptr, CWnd::FromHandle(parent_.Handle()), 0, 0, 320, 240,
                                   false, 0),
            S_OK);
  EXPECT_EQ(controller->StopRecording(), E_POINTER);
  ExpectRecording(third);
  // A file that cannot be made fails the start; the stop still tidies up.
  ASSERT_TRUE(controller->Run());
  ASSERT_TRUE(vqtest::PumpUntil([&] { return !controller->GetFrame().empty(); }));
  EXPECT_TRUE(FAILED(Start(*controller, Path("none") + "/x/y.asf")));
  EXPECT_EQ(controller->StopRecording(), S_OK);
  // And the controller's end.
  ASSERT_EQ(Start(*controller, last), S_OK);
  ASSERT_TRUE(Recorded(last));
  controller.reset();
  ExpectRecording(last);
}

}  // namespace

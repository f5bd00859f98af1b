// The capture controller on the virtual camera: what it answers without a
// preview or source, its argument rules, opening missing cameras, a size
// change on a running camera, the turn each frame was shown in, a camera
// lost, and the end of a controller while frames flow.
#include <gtest/gtest.h>

#include "capture/CaptureController.h"
#include "platform/dshow/Com.h"
#include "platform/dshow/VirtualCamera.h"
#include "tests/capture/PreviewSupport.h"

namespace {

using namespace std::chrono_literals;
using vqtest::PumpUntil;

class CaptureController : public ::testing::Test {
 protected:
  void SetUp() override {
    vq::dshow::VirtualCameraConfig config;
    config.vendorId = L"5651";
    config.productId = L"d0c0";
    config.sizes = {{640, 480}, {1280, 960}};
    config.framesPerSecond = 60;
    camera_ = vq::dshow::PlugInVirtualCamera(config);
  }
  void TearDown() override { vq::dshow::RemoveVirtualCameras(); }

  // Frames until one of this width arrives, dispatching meanwhile.
  static cv::Mat FrameOfWidth(CCaptureController& controller, int width) {
    cv::Mat frame;
    PumpUntil([&] {
      frame = controller.GetFrame();
      return frame.cols == width;
    });
    return frame;
  }

  // Opens the camera at 640 x 480 and runs it.
  bool RunAt640(CCaptureController& controller) {
    controller.SetResolution(640, 480);
    return controller.OpenCamera(L"5651", L"d0c0", nullptr, CWnd::FromHandle(parent_.Handle()), 0, 0, 320, 240, false,
                                 0) == S_OK &&
           controller.Run();
  }

  vqtest::RecordingWindow parent_;
  std::shared_ptr<vq::dshow::VirtualCamera> camera_;
};

TEST_F(CaptureController, WithoutAPreviewOrSourceItAnswersEmpty) {
  CCaptureController controller(true, false);
  EXPECT_TRUE(controller.GetFrame().empty());
  EXPECT_TRUE(controller.GetDocumentImages().empty());
  EXPECT_FALSE(controller.Run());
  EXPECT_FALSE(controller.Stop());
  EXPECT_FALSE(controller.ShowPreview(true));
  EXPECT_FALSE(controller.SetFrameMargins(0, 0, 0, 0));
  RECT selection{1, 2, 3, 4};
  EXPECT_FALSE(controller.GetSelection(&selection));
  EXPECT_EQ(selection.right, 0) << "the selection is cleared first";
  long value = 0, flags = 0;
  EXPECT_EQ(controller.GetCameraControl(4, &value, &flags), E_POINTER);
  EXPECT_EQ(controller.StopRecording(), E_POINTER);
  EXPECT_EQ(controller.StartRecording(L"x.asf", 1280, 960, 10, 462500), E_POINTER);
  controller.SetAutoDetect(true, false, 0.01f);
  EXPECT_TRUE(controller.IsAutoDetect());
  EXPECT_EQ(controller.CountDevices(L"5651", L"D0C0"), 1);
  EXPECT_EQ(controller.CountDevices(nullptr, L"d0c0"), -1);
}

TEST_F(CaptureController, MissingCamerasAndBadIds) {
  CCaptureController controller(true, false);
  CWnd* parent = CWnd::FromHandle(parent_.Handle());
  EXPECT_EQ(controller.OpenCamera(L"ffff", L"ffff", nullptr, parent, 0, 0, 320, 240, false, 0), S_FALSE);
  CShowVideoPro* preview = controller.Preview();
  ASSERT_NE(preview, nullptr) << "a camera that is not attached still gets a preview";
  EXPECT_NE(controller.MainSource(), nullptr);
  EXPECT_EQ(controller.OpenCamera(nullptr, nullptr, nullptr, parent, 0, 0, 320, 240, false, 0), E_POINTER);
  EXPECT_EQ(controller.MainSource(), nullptr) << "a failure deletes the source";
  EXPECT_EQ(controller.Preview(), preview) << "the old preview stays";
}

TEST_F(CaptureController, RulesForTurnsMarginsDetectionAndSelection) {
  CCaptureController controller(true, false);
  ASSERT_EQ(controller.OpenCamera(L"5651", L"d0c0", nullptr, CWnd::FromHandle(parent_.Handle()), 0, 0, 320, 240,
                                  false, 0),
            S_OK);
  CShowVideoPro* preview = controller.Preview();
  controller.SetRotation(45);
  EXPECT_EQ(preview->Rotation(), 0);
  controller.SetRotation(450);
  EXPECT_EQ(preview->Rotation(), 90);
  controller.SetRotation(-90);
  EXPECT_EQ(preview->Rotation(), 270);
  EXPECT_EQ(controller.Rotation(), 270);

  ASSERT_TRUE(controller.SetFrameMargins(2, 5, 6, 10));
  EXPECT_FALSE(controller.SetFrameMargins(-1, 0, 0, 0));
  const RECT margins = preview->FrameMargins();
  EXPECT_EQ(margins.right, 8) << "a refused margin leaves the old ones";

  controller.SetAutoDetect(true, true, 0.01f);
  EXPECT_TRUE(controller.IsAutoDetect());
  EXPECT_TRUE(preview->IsAutoDetect());
  controller.ShowSelection(true);
  EXPECT_FALSE(controller.IsAutoDetect());
  EXPECT_FALSE(preview->IsAutoDetect());
  EXPECT_TRUE(controller.SetSelection(RECT{-4, 8, 100, 90}, false));
  RECT selection{};
  ASSERT_TRUE(controller.GetSelection(&selection));
  EXPECT_EQ(selection.left, 0);
  controller.ShowSelection(false);
  EXPECT_FALSE(controller.GetSelection(&selection));
  EXPECT_EQ(controller.StopRecording(), E_POINTER) << "nothing is recording";
}

TEST_F(CaptureController, SizeChangeLeavesTheCameraStoppedUntilRun) {
  CCaptureController controller(true, false);
  ASSERT_TRUE(RunAt640(controller));
  EXPECT_EQ(FrameOfWidth(controller, 640).rows, 480);
  EXPECT_EQ(controller.SetResolution(1280, 960), S_OK);
  EXPECT_EQ(controller.MainSource()->GetState(), VIDEO_STATE_STOPPED);
  int width = 0, height = 0;
  controller.GetResolution(&width, &height);
  EXPECT_EQ(width, 1280);
  ASSERT_TRUE(controller.Run());
  EXPECT_EQ(FrameOfWidth(controller, 1280).rows, 960) << "frames resume after Run";
}

// Unplugged, or its stream broken off by transfer errors, the camera is
// lost: it gives no more pictures until it is plugged in again.
class CameraLoss : public CaptureController, public ::testing::WithParamInterface<bool> {};

TEST_P(CameraLoss, IsToldOnceItHappens) {
  CCaptureController controller(true, false);
  ASSERT_TRUE(RunAt640(controller));
  ASSERT_FALSE(FrameOfWidth(controller, 640).empty());
  EXPECT_FALSE(controller.CameraLost());
  if (GetParam())
    camera_->Unplug();
  else
    camera_->SetTransferErrors(true);
  EXPECT_TRUE(PumpUntil([&] { return controller.CameraLost(); }));
}

INSTANTIATE_TEST_SUITE_P(Ways, CameraLoss, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Unplugged" : "TransferErrors";
                         });

TEST_F(CaptureController, FramesComeWithTheTurnTheyWereShownIn) {
  CCaptureController controller(true, false);
  ASSERT_TRUE(RunAt640(controller));
  FrameOfWidth(controller, 640);
  int turn = -1;
  EXPECT_EQ(controller.GetFrame(&turn).size(), cv::Size(640, 480));
  EXPECT_EQ(turn, 0);
  // While the preview catches up with a new turn, every frame says which
  // turn it was shown in.
  controller.SetRotation(90);
  cv::Mat frame;
  ASSERT_TRUE(PumpUntil([&] {
    frame = controller.GetFrame(&turn);
    EXPECT_EQ(frame.size(), turn == 90 ? cv::Size(480, 640) : cv::Size(640, 480)) << turn;
    return turn == 90;
  }));
  CCaptureController without(true, false);
  EXPECT_TRUE(without.GetFrame(&turn).empty());
  EXPECT_EQ(turn, 0);
}

TEST_F(CaptureController, ChildPreviewControllerEndsWhileFramesFlow) {
  auto controller = std::make_unique<CCaptureController>(false, false);
  ASSERT_EQ(controller->OpenCamera(L"5651", L"d0c0", nullptr, CWnd::FromHandle(parent_.Handle()), 0, 0, 320, 240,
                                   false, 0),
            S_OK);
  ASSERT_TRUE(controller->Run());
  const HWND canvas = controller->Preview()->GetHwnd();
  EXPECT_EQ(GetParent(canvas), parent_.Handle());
  EXPECT_EQ(FrameOfWidth(*controller, 640).rows, 480);
  controller.reset();
  EXPECT_FALSE(IsWindow(canvas));
}

}  // namespace

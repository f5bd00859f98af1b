// The main window taking a record edited by the settings sheet: a change of
// one side of the capture size reaches the camera, and a reopen in the other
// subtype keeps the selection and the crop mode.
#include "tests/support/TestEnv.h"
#include "tests/vorquell/MainWindowFixture.h"

namespace {

class MainWindowSettings : public vqtest::MainWindowTest {};

TEST_F(MainWindowSettings, OneSideOfTheSizeIsAppliedAndAReopenKeepsTheSelection) {
  vq::dshow::VirtualCameraConfig config;
  config.vendorId = L"5651";
  config.productId = L"d0c0";
  config.sizes = {{1280, 960}, {1280, 720}};
  config.framesPerSecond = 30;
  vq::dshow::PlugInVirtualCamera(config);
  WriteDataFile("5651d0c05651d0c1;");
  WriteSettings("[IMAGE]\nDocCamWidth=1280\nDocCamHeight=960\n");
  vqtest::OpenMainWindow& window = Start();
  ASSERT_NE(window.DocumentController(), nullptr);

  CSysSettings edited = window.Settings();
  edited.docCamHeight = 720;
  ASSERT_TRUE(window.ApplySettings(edited));
  int width = 0, height = 0;
  window.DocumentController()->GetResolution(&width, &height);
  EXPECT_EQ(cv::Size(width, height), cv::Size(1280, 720)) << "the camera follows the record";
  EXPECT_EQ(window.DocumentController()->MainSource()->GetState(), VIDEO_STATE_RUNNING);
  const std::string saved = vqtest::ReadFile(vqtest::TempDir() / "program" / "Sys.ini");
  EXPECT_NE(saved.find("DocCamHeight=720\n"), std::string::npos);

  // Manual crop with a selection, then fast mode: the new controller keeps both.
  edited = window.Settings();
  edited.cutPageType = 2;
  window.settings_ = edited;
  CCaptureController* before = window.DocumentController();
  before->ShowSelection(true);
  ASSERT_TRUE(before->SetSelection(RECT{100, 80, 600, 500}, false));
  RECT selected{};
  ASSERT_TRUE(before->GetSelection(&selected));
  edited.fastMode = 1;
  ASSERT_TRUE(window.ApplySettings(edited));
  ASSERT_NE(window.DocumentController(), before) << "a new controller in the other subtype";
  RECT kept{};
  ASSERT_TRUE(window.DocumentController()->GetSelection(&kept));
  EXPECT_EQ(std::vector<long>({kept.left, kept.top, kept.right, kept.bottom}),
            std::vector<long>({selected.left, selected.top, selected.right, selected.bottom}));
  window.DocumentController()->GetResolution(&width, &height);
  EXPECT_EQ(cv::Size(width, height), cv::Size(1280, 720));
  EXPECT_EQ(window.DocumentController()->MainSource()->GetState(), VIDEO_STATE_RUNNING);
  EXPECT_EQ(window.Settings().fastMode, 1);
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace

// The main window's cameras while it runs: turning, exposure steps, the
// switch to the portrait camera, losing and finding the document camera,
// a portrait reopen that fails, and grab and process.
#include <filesystem>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/ImageOutput.h"
#include "platform/win/MessageBox.h"
#include "tests/support/TestEnv.h"
#include "tests/vorquell/MainWindowFixture.h"

namespace {

using vqtest::OpenMainWindow;
using vqtest::Pump;

class MainWindowCameras : public vqtest::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    document_ = Plug(L"5651", L"d0c0");
    portrait_ = Plug(L"5651", L"d0c1");
    WriteDataFile("5651d0c05651d0c1;");
  }
  static bool Shown(CCaptureController* camera) { return IsWindowVisible(camera->Preview()->GetHwnd()); }
  std::wstring Text(CVorquellDlg::MessageId id) const { return window_->MessageText(id).GetString(); }

  std::shared_ptr<vq::dshow::VirtualCamera> document_, portrait_;
};

TEST_F(MainWindowCameras, TurnExposeSwitchUnplugAndReplug) {
  WriteSettings("[Camera]\nAutoExposure=false\nExposure=-6\n");
  OpenMainWindow& window = Start();
  ASSERT_NE(window.PortraitController(), nullptr);

  std::vector<int> turns;
  for (int i = 0; i < 4; ++i) {
    window.OnRotateLeft();
    turns.push_back(window.DocumentController()->Rotation());
  }
  EXPECT_EQ(turns, (std::vector<int>{270, 180, 90, 0}));
  EXPECT_EQ(window.settings_.rotation, 1080);

  // The thumb five steps away moves the exposure by one.
  window.exposureSlider_.SetPos(-1);
  window.OnHScroll(TB_THUMBTRACK, 0, nullptr);
  vq::dshow::ControlState exposure{};
  document_->GetControl(vq::dshow::ControlKind::CameraControl, 4, &exposure);
  EXPECT_EQ(exposure.value, -5);
  EXPECT_EQ(window.exposureSlider_.GetPos(), -5);

  window.OnSwitchCamera();
  EXPECT_EQ(window.ShownCamera(), 1);
  EXPECT_EQ(window.settings_.currentCamera, 1);
  EXPECT_TRUE(Shown(window.PortraitController()));
  EXPECT_FALSE(Shown(window.DocumentController()));
  EXPECT_FALSE(window.GetDlgItem(IDC_CROP_AUTO)->IsWindowEnabled());

  // Pulled out while the portrait camera is shown: both go, one message.
  document_->Unplug();
  ASSERT_TRUE(Pump([&] { return !window.DocumentController(); }));
  window.SendMessage(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  window.OnSwitchCamera();
  EXPECT_EQ(window.PortraitController(), nullptr);
  EXPECT_EQ(Boxes(), std::vector<std::wstring>{Text(CVorquellDlg::MSG_UNPLUGGED)});
  EXPECT_EQ(vqplatform::MessageBoxLog()[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));
  EXPECT_EQ(window.settings_.rotation, 1080);

  // Back: both open again, the document camera shown, no crop.
  document_->Replug();
  ASSERT_TRUE(Pump([&] { return window.DocumentController() != nullptr; }));
  ASSERT_NE(window.PortraitController(), nullptr);
  EXPECT_EQ(window.ShownCamera(), 0);
  EXPECT_EQ(window.settings_.currentCamera, 0);
  EXPECT_TRUE(Shown(window.DocumentController()));
  EXPECT_FALSE(Shown(window.PortraitController()));
  EXPECT_TRUE(window.IsDlgButtonChecked(IDC_CROP_NONE));
  EXPECT_TRUE(Pump([&] { return !window.DocumentController()->GetFrame().empty(); }));
  EXPECT_EQ(Boxes().size(), 1u);

  window.DestroyWindow();
  const std::string ini = vqtest::ReadFile(vqtest::TempDir() / "program" / "Sys.ini");
  EXPECT_NE(ini.find("ROTATION=0\n"), std::string::npos);
  EXPECT_NE(ini.find("Exposure=-5\n"), std::string::npos);
}

TEST_F(MainWindowCameras, AFailedPortraitReopenLeavesTheDocumentCameraLive) {
  // The portrait camera has no 800 x 600, so the switch reopens it.
  WriteSettings("[IMAGE]\nPorCamWidth=800\nPorCamHeight=600\n");
  OpenMainWindow& window = Start();
  ASSERT_NE(window.PortraitController(), nullptr);
  portrait_->Unplug();
  window.OnSwitchCamera();
  EXPECT_EQ(Boxes(), std::vector<std::wstring>{Text(CVorquellDlg::MSG_PORTRAIT_BUSY)});
  EXPECT_EQ(window.PortraitController(), nullptr);
  EXPECT_EQ(window.ShownCamera(), 0);
  EXPECT_EQ(window.settings_.currentCamera, 0);
  EXPECT_TRUE(Shown(window.DocumentController()));
  EXPECT_EQ(window.DocumentController()->MainSource()->GetState(), VIDEO_STATE_RUNNING);
  window.OnSwitchCamera();
  EXPECT_EQ(window.ShownCamera(), 0);
}

TEST(GrabAndProcessRescale, FactorsFollowThePageAxesAndSkipUnknownSizes) {
  cv::Mat page(300, 400, CV_8UC3, cv::Scalar(10, 20, 30));
  CVorquellDlg::RescalePage(page, {400, 300}, {200, 100});
  EXPECT_EQ(page.size(), cv::Size(200, 100));
  cv::Mat upright(400, 300, CV_8UC3, cv::Scalar(10, 20, 30));
  CVorquellDlg::RescalePage(upright, {400, 300}, {200, 100});
  EXPECT_EQ(upright.size(), cv::Size(100, 200)) << "a turned frame takes the factors crosswise";
  for (cv::Size configured : {cv::Size(2001, 1001), cv::Size(-1, -1), cv::Size(0, 1000)}) {
    cv::Mat same(1000, 2000, CV_8UC1, cv::Scalar(7));
    const uchar* pixels = same.data;
    CVorquellDlg::RescalePage(same, {2000, 1000}, configured);
    EXPECT_EQ(same.data, pixels) << configured;
  }
  cv::Mat unknownRunning(10, 20, CV_8UC1);
  CVorquellDlg::RescalePage(unknownRunning, {0, 0}, {40, 20});
  EXPECT_EQ(unknownRunning.size(), cv::Size(20, 10));
}

TEST_F(MainWindowCameras, GrabAndProcessRescalesAndProcessesForTheChosenCameraModel) {
  vq::dshow::RemoveVirtualCameras();
  // Soft strokes, whose edges the threshold's weight decides.
  cv::Mat ramp(960, 1280, CV_8UC3, cv::Scalar::all(230));
  for (int x = 40; x < ramp.cols; x += 60) ramp.colRange(x, x + 20).setTo(cv::Scalar::all(30));
  cv::GaussianBlur(ramp, ramp, cv::Size(), 6);
  std::filesystem::create_directories(vqtest::TempDir() / "scene");
  cv::imwrite((vqtest::TempDir() / "scene" / "ramp.png").string(), ramp);
  vq::dshow::VirtualCameraConfig model;  // the model binarised with the heavier weight
  model.vendorId = L"2e1a";
  model.productId = L"0106";
  model.sizes = {{640, 480}, {1280, 960}};
  model.content.kind = vq::dshow::VirtualContent::Kind::Folder;
  model.content.folder = vqtest::TempDir() / "scene";
  vq::dshow::PlugInVirtualCamera(model);
  WriteDataFile("2e1a01062e1a0107;");
  WriteSettings("[IMAGE]\nDocCamWidth=1296\nDocCamHeight=972\nSHADOW=TRUE\n");
  OpenMainWindow& window = Start();
  ASSERT_TRUE(Pump([&] { return !window.DocumentController()->GetFrame().empty(); }));
  const std::vector<cv::Mat> pages = window.GrabAndProcess();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].size(), cv::Size(1296, 972)) << "the 1280 x 960 frame is brought to the capture size";

  cv::Mat frame = window.DocumentController()->GetDocumentImages().at(0);
  CVorquellDlg::RescalePage(frame, {1280, 960}, {1296, 972});
  CImageOutput special(0), plain(0);
  special.SetCameraIds(branding_.selectedCameraIds);
  special.SetSettings(window.Settings());
  plain.SetSettings(window.Settings());
  cv::Mat expected, other;
  special.ProcessImage(expected, frame);
  plain.ProcessImage(other, frame);
  EXPECT_EQ(cv::norm(pages[0], expected, cv::NORM_INF), 0.0);
  EXPECT_GT(cv::norm(pages[0], other, cv::NORM_L1), 0.0) << "the model's weight made a difference";

  window.settings_.currentCamera = 1;
  EXPECT_TRUE(window.GrabAndProcess().empty()) << "no portrait camera, no pages";
}

}  // namespace

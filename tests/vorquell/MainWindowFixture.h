#pragma once
// The main window on virtual cameras, headless: a data file and settings in
// the test's program folder, cameras plugged in per test, message boxes
// answered and recorded, and the window's inner state open to the tests.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/BrandingData.h"
#include "app/BrandingDataWriter.h"
#include "app/VorquellDlg.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/MessageBox.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Windows.h"

namespace vqtest {

// The main window with its members and handlers reachable.
class OpenMainWindow : public CVorquellDlg {
 public:
  using CVorquellDlg::CVorquellDlg;
  using CVorquellDlg::captureBusy_;
  using CVorquellDlg::continuousDlg_;
  using CVorquellDlg::OnSwitchCamera;
  using CVorquellDlg::orientationThread_;
  using CVorquellDlg::recognitionLeft_;
  using CVorquellDlg::StopOrientationThread;
  using CVorquellDlg::settings_;
  using CVorquellDlg::ApplyLanguage;
  using CVorquellDlg::Button;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (window_ && window_->GetSafeHwnd()) window_->DestroyWindow();
    window_.reset();
    vq::dshow::RemoveVirtualCameras();
    TakeQuitRequest();
  }
  // data.dat in the program folder with this camera list.
  void WriteDataFile(const std::string& cameraList) {
    BrandingContent content;
    content.cameraList = cameraList;
    content.title = "Vorquell";
    ASSERT_TRUE(WriteBrandingDataFile((TempDir() / "program" / "data.dat").string(), EncodeBrandingData(content)));
  }
  void WriteSettings(const std::string& text) { ASSERT_TRUE(WriteFile(TempDir() / "program" / "Sys.ini", text)); }
  // A quick virtual camera: 640 x 480 and 1280 x 960 at 30 frames a second.
  static std::shared_ptr<vq::dshow::VirtualCamera> Plug(const wchar_t* vendor, const wchar_t* product) {
    vq::dshow::VirtualCameraConfig config;
    config.vendorId = vendor;
    config.productId = product;
    config.sizes = {{640, 480}, {1280, 960}};
    config.framesPerSecond = 30;
    return vq::dshow::PlugInVirtualCamera(config);
  }
  // Creates the window (modeless), which runs its start-up.
  OpenMainWindow& Start() {
    window_ = std::make_unique<OpenMainWindow>(nullptr, &branding_);
    window_->Create(CVorquellDlg::IDD, nullptr);
    return *window_;
  }
  // The window on the cameras 5651:d0c0 and 5651:d0c1 with these settings,
  // its orientation thread running `proc`.
  OpenMainWindow& StartWithOrientationThread(LPTHREAD_START_ROUTINE proc, const std::string& settings) {
    WriteDataFile("5651d0c05651d0c1;");
    WriteSettings(settings);
    window_ = std::make_unique<OpenMainWindow>(nullptr, &branding_);
    window_->SetOrientationThreadProc(proc);
    window_->Create(CVorquellDlg::IDD, nullptr);
    return *window_;
  }
  static std::vector<std::wstring> Boxes() {
    std::vector<std::wstring> texts;
    for (const auto& box : vqplatform::MessageBoxLog()) texts.push_back(box.text);
    return texts;
  }
  // Whether a quit request was queued (serving what came before it, and taking it).
  static bool TakeQuitRequest() {
    vqtest::DispatchQueued();  // ends at the quit, which stays queued
    MSG msg{};
    return vqtest::QuitQueued() && GetMessageW(&msg, nullptr, 0, 0) == FALSE;
  }
  static int SettingsKeys(const std::filesystem::path& file) {
    const std::string text = ReadFile(file);
    return int(std::count(text.begin(), text.end(), '='));
  }

  // The boxes a test names; any other fails it.
  vqtest::ExpectedBoxes boxes_;
  CBrandingData branding_;
  std::unique_ptr<OpenMainWindow> window_;
};

}  // namespace vqtest

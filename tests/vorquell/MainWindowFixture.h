#pragma once
// The main window on virtual cameras, headless: a data file and settings in
// the test's program folder, cameras plugged in per test, message boxes
// answered and recorded, and the window's inner state open to the tests.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/BrandingData.h"
#include "app/VorquellDlg.h"
#include "platform/dshow/VirtualCamera.h"

namespace vqtest {

// The main window with its members and handlers reachable.
class OpenMainWindow : public CVorquellDlg {
 public:
  using CVorquellDlg::CVorquellDlg;
  using CVorquellDlg::continuousDlg_;
  using CVorquellDlg::documentRotation_;
  using CVorquellDlg::exposureSlider_;
  using CVorquellDlg::OnDeviceChange;
  using CVorquellDlg::OnHScroll;
  using CVorquellDlg::OnRotateLeft;
  using CVorquellDlg::OnSwitchCamera;
  using CVorquellDlg::settings_;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // data.dat in the program folder with this camera list.
  void WriteDataFile(const std::string& cameraList);
  // Sys.ini in the program folder.
  void WriteSettings(const std::string& text);
  // A quick virtual camera: 640 x 480 and 1280 x 960 at 30 frames a second.
  std::shared_ptr<vq::dshow::VirtualCamera> Plug(const wchar_t* vendor, const wchar_t* product);
  // Creates the window (modeless) and runs its start-up.
  OpenMainWindow& Start();
  // The texts of the message boxes shown so far.
  std::vector<std::wstring> Boxes() const;
  // Whether a quit request is queued (removing it).
  static bool TakeQuitRequest();

  CBrandingData branding_;
  std::unique_ptr<OpenMainWindow> window_;
};

// Dispatches this thread's messages until the condition holds.
bool Pump(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10));

// The keys of an INI file ("key=value" lines).
int CountIniKeys(const std::string& text);

}  // namespace vqtest

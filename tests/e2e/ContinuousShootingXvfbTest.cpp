// Continuous shooting from the main window, on a real X server and the
// manual clock: the dialog opens once, at the bottom of the preview;
// automatic mode shoots once per sheet of the virtual camera's scripted
// desk; a shot arriving during another capture is dropped; timed mode
// shoots every five seconds; Stop deletes the dialog. The portrait camera
// pulled out during timed shooting from it stops the shooting with the
// unplug message, and no page comes from it after the pull.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/PathEncoding.h"
#include "platform/display/Presenter.h"
#include "platform/win/Clock.h"
#include "platform/win/Encoding.h"
#include "scene/Script.h"
#include "tests/vorquell/MainWindowFixture.h"
#include "ui/ContinuousShootDlg.h"
// Xlib last: its macros clash with names above.
#include "tests/e2e/XServer.h"

namespace {

namespace fs = std::filesystem;
using vqplatform::Clock;

constexpr int kTimedRadio = 1063, kPause = 1032;

class ContinuousShootingXvfbTest : public vqtest::MainWindowTest {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    MainWindowTest::SetUp();
    auto script = std::make_shared<vqscene::SceneScript>(vqscene::EmptyDesk({640, 480}), 5);
    script->Wait(3).HandPasses(3).Wait(3).LaySheet(3).Wait(6).LaySheet(3).Wait(6).ClearDesk(1).Wait(60);
    vq::dshow::VirtualCameraConfig config;
    config.vendorId = L"5651";
    config.productId = L"d0c0";
    config.sizes = {{640, 480}};
    config.framesPerSecond = 10;
    config.content.kind = vq::dshow::VirtualContent::Kind::Script;
    config.content.script = script;
    vq::dshow::PlugInVirtualCamera(config);
    WriteDataFile("5651d0c05651d0c1;");
    WriteSettings("[IMAGE]\nDocCamWidth=640\nDocCamHeight=480\n");
  }
  // Pages saved so far in the window's target folder.
  int SavedPages() const {
    return int(vqtest::NamesIn(vq::ToFsPath(window_->settings_.currentFolder.GetString()), R"(.*\.jpg)").size());
  }
  // Moves the manual clock on in steps; after each, serves this thread's
  // messages until the camera, the preview and the dialog's thread have done
  // what the step woke them for, and what that woke, and wait again.
  void Run(int milliseconds, int step = 100) {
    for (int done = 0; done < milliseconds; done += step) {
      Clock::Advance(step);
      ASSERT_TRUE(vqtest::Settle()) << "at " << done << " ms " << Clock::ThreadsAtWork() << " threads at work";
    }
  }
  // Moves the clock on until the camera has shown a picture: its stream
  // starts on threads of its own, however long they take.
  bool ShowsAPicture(CCaptureController* camera) {
    return vqtest::Pump([&] {
      if (!camera->GetFrame().empty()) return true;
      if (Clock::ThreadsAtWork() == 0) Clock::Advance(100);
      return false;
    });
  }
  static void Click(CWnd& window, int id) { window.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
};

TEST_F(ContinuousShootingXvfbTest, SheetsTimerGuardAndStopThroughTheWindow) {
  vqplatform::ManualClockScope manual;
  vqtest::OpenMainWindow& window = Start();
  ASSERT_NE(window.DocumentController(), nullptr);
  Run(1000);
  Click(window, IDC_CONTINUOUS);
  auto* dialog = dynamic_cast<CContinuousShootDlg*>(window.continuousDlg_.get());
  ASSERT_NE(dialog, nullptr);
  Click(window, IDC_CONTINUOUS);
  EXPECT_EQ(window.continuousDlg_.get(), dialog) << "one dialog at a time";
  EXPECT_TRUE(dialog->IsWindowVisible());
  EXPECT_EQ(dialog->captureController, window.DocumentController());
  CRect preview, placed;
  window.GetDlgItem(IDC_PREVIEW_AREA)->GetClientRect(&preview);
  window.GetDlgItem(IDC_PREVIEW_AREA)->ClientToScreen(&preview);
  dialog->GetWindowRect(&placed);
  EXPECT_EQ(placed.bottom, preview.bottom);
  EXPECT_LE(std::abs((placed.left + placed.right) - (preview.left + preview.right)), 1);
  dialog->UpdateWindow();
  vqtest::XServer().Shoot(dialog->m_hWnd, "vorquell-continuous.png");

  // Automatic: the empty desk, a hand passing, a sheet laid, swapped for
  // another, the desk cleared: two pages.
  EXPECT_EQ(::IsDlgButtonChecked(dialog->m_hWnd, 1084), BST_CHECKED);
  Click(*dialog, IDOK);
  EXPECT_TRUE(dialog->ThreadRunning());
  Run(31000);
  EXPECT_EQ(SavedPages(), 2);
  EXPECT_EQ(dialog->ShotCount(), 2);
  EXPECT_EQ(window.settings_.imageIndex, 2);

  // A shot asked for while another capture runs is dropped.
  window.captureBusy_ = true;
  window.PostMessage(WM_CONTINUOUS_SHOT, 0, 0);
  Run(200);
  EXPECT_EQ(SavedPages(), 2);
  window.captureBusy_ = false;
  window.PostMessage(WM_CONTINUOUS_SHOT, 0, 0);
  Run(200);
  EXPECT_EQ(SavedPages(), 3);

  // Paused, then timed: a page every five seconds.
  Click(*dialog, kPause);
  EXPECT_FALSE(dialog->ThreadRunning());
  ::CheckRadioButton(dialog->m_hWnd, kTimedRadio, 1084, kTimedRadio);
  Click(*dialog, IDOK);
  Run(15000, 250);
  EXPECT_EQ(SavedPages(), 6);
  EXPECT_EQ(dialog->ShotCount(), 5);

  // Stop: the dialog goes, and nothing shoots any more.
  Click(*dialog, IDCANCEL);
  Run(200);
  EXPECT_EQ(window.continuousDlg_, nullptr);
  Run(6000, 500);
  EXPECT_EQ(SavedPages(), 6);
  EXPECT_EQ(window.settings_.imageIndex, 6);
}

TEST_F(ContinuousShootingXvfbTest, PortraitCameraPulledDuringTimedShootingStopsItAndComesBackForCaptures) {
  vqplatform::ManualClockScope manual;
  auto portrait = Plug(L"5651", L"d0c1");
  vqtest::OpenMainWindow& window = Start();
  ASSERT_NE(window.PortraitController(), nullptr);
  Run(1000);
  window.OnSwitchCamera();
  ASSERT_EQ(window.ShownCamera(), 1);
  Run(500);
  ASSERT_TRUE(ShowsAPicture(window.PortraitController()));
  Click(window, IDC_CONTINUOUS);
  auto* dialog = dynamic_cast<CContinuousShootDlg*>(window.continuousDlg_.get());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->captureController, window.PortraitController());
  EXPECT_EQ(::IsDlgButtonChecked(dialog->m_hWnd, kTimedRadio), BST_CHECKED) << "the portrait camera shoots timed";
  ::SetDlgItemTextW(dialog->m_hWnd, 1026, L"1");
  Click(*dialog, IDOK);
  Run(3000, 250);
  // The last shot's page is written by a thread the clock does not wake.
  EXPECT_TRUE(vqtest::Pump([&] { return SavedPages() >= 3; }));
  const int shot = SavedPages();
  EXPECT_EQ(shot, 3);

  // Pulled just after a shot was asked for: that shot saves nothing.
  boxes_.Expect(window.MessageText(CVorquellDlg::MSG_UNPLUGGED).GetString());
  window.PostMessage(WM_CONTINUOUS_SHOT, 0, 0);
  boxes_.Expect(window.MessageText(CVorquellDlg::MSG_UNPLUGGED).GetString());
  portrait->Unplug();
  ASSERT_TRUE(vqtest::Pump([&] { return window.PortraitController() == nullptr; }));
  EXPECT_EQ(Boxes(), std::vector<std::wstring>{window.MessageText(CVorquellDlg::MSG_UNPLUGGED).GetString()});
  EXPECT_EQ(window.continuousDlg_, nullptr) << "shooting stopped";
  EXPECT_EQ(window.ShownCamera(), 0);
  EXPECT_EQ(window.settings_.currentCamera, 0);
  EXPECT_TRUE(IsWindowVisible(window.DocumentController()->Preview()->GetHwnd()));
  Run(5000, 250);
  EXPECT_EQ(SavedPages(), shot) << "no page after the pull";
  EXPECT_EQ(window.settings_.imageIndex, shot);

  // Plugged in again: it is there to switch to, and a capture from it works.
  portrait->Replug();
  ASSERT_TRUE(vqtest::Pump([&] { return window.PortraitController() != nullptr; }));
  window.OnSwitchCamera();
  ASSERT_EQ(window.ShownCamera(), 1);
  ASSERT_TRUE(ShowsAPicture(window.PortraitController())) << "the camera that came back";
  Click(window, IDC_CAPTURE);
  EXPECT_EQ(SavedPages(), shot + 1);
  EXPECT_EQ(Boxes().size(), 1u);
}

}  // namespace

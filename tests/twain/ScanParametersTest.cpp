// The camera window's scan parameters and continuous shooting on the virtual
// cameras: a new capture size reopens the camera and reaches the settings
// file; the shooting worker scans each sheet of a scripted desk once and is
// joined when shooting stops (ShootingThreads runs under ThreadSanitizer).
#include <opencv2/core/utility.hpp>

#include "platform/win/Clock.h"
#include "platform/win/TestInput.h"
#include "scene/Script.h"
#include "tests/support/TestEnv.h"
#include "tests/twain/CameraWindowFixture.h"

namespace twaintest {
namespace {

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[64] = {};
  GetDlgItemTextW(dialog, id, text, 64);
  return text;
}

std::wstring ListEntry(HWND dialog, int id, int index) {
  wchar_t text[64] = {};
  SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

LRESULT ItemMessage(HWND dialog, int id, UINT message, WPARAM wParam = 0) {
  return SendDlgItemMessageW(dialog, id, message, wParam, 0);
}

class ScanParameters : public CameraWindow {
 protected:
  std::string SettingsPath() { return vq::WideToUtf8(vq::MachineDataFolder()) + "/TwainPara0101.ini"; }
  cv::Size CaptureSize() {
    int width = 0, height = 0;
    Window().MainController()->GetResolution(&width, &height);
    return cv::Size(width, height);
  }
};

TEST_F(ScanParameters, NewSizeReopensTheCameraAndTheRecordRoundTripsThroughTheSettingsFile) {
  Settings("");
  std::ofstream(SettingsPath()) << "[IMAGE]\nResolutionWidth=640\nResolutionHeight=480\nMULTIPLE=true\n"
                                << "[Camera]\nRotateAngle=90\n";
  MakeSource(5);
  ASSERT_EQ(CaptureSize(), cv::Size(640, 480));
  EXPECT_NEAR(Cap(MSG_GETCURRENT, ICAP_XRESOLUTION).Fix32Item(), 220.05, 1e-3) << "640 x 480 has no dpi";
  const CCaptureController* before = Window().MainController();

  vqplatform::ModalScript script({
      [](HWND d) {
        wchar_t caption[32] = {};
        GetWindowTextW(d, caption, 32);
        EXPECT_STREQ(caption, L"扫描参数");
        // Each size once, though the camera offers it as YUY2 and as MJPG.
        ASSERT_EQ(ItemMessage(d, 6035, CB_GETCOUNT), 2);
        EXPECT_EQ(ListEntry(d, 6035, 0), L"640x480");
        EXPECT_EQ(ListEntry(d, 6035, 1), L"1280x960");
        EXPECT_EQ(ItemMessage(d, 6035, CB_GETCURSEL), 0);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, 6022))) << "the dpi edits are hidden";
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, 6040)));
        EXPECT_EQ(ItemMessage(d, 6047, CB_GETCOUNT), 5);
        EXPECT_EQ(ItemMessage(d, 6047, CB_GETCURSEL), 0) << "red";
        EXPECT_EQ(ItemMessage(d, 6048, TBM_GETPOS), 50);
        EXPECT_EQ(ItemText(d, 6049), L"50");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, 6044)));
        ItemMessage(d, 6035, CB_SETCURSEL, 1);
        vqplatform::ClickControl(d, 6045);
      },
      [](HWND d) {
        EXPECT_EQ(IsDlgButtonChecked(d, 6045), BST_CHECKED);
        vqplatform::ClickControl(d, 6043);
      },
      [](HWND d) {
        // The two marks exclude each other.
        EXPECT_EQ(IsDlgButtonChecked(d, 6043), BST_CHECKED);
        EXPECT_EQ(IsDlgButtonChecked(d, 6045), BST_UNCHECKED);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, 6044)));
        SetDlgItemTextW(d, 6044, L"Stamp");
        ItemMessage(d, 6047, CB_SETCURSEL, 2);
        // Moved by keys: the number beside it stays, the position is stored.
        SendDlgItemMessageW(d, 6048, TBM_SETPOS, TRUE, 30);
        vqplatform::ClickControl(d, IDOK);
      },
  });
  Click(6021);
  EXPECT_EQ(script.StepsRun(), 3u);
  ASSERT_NE(Window().MainController(), nullptr);
  EXPECT_NE(Window().MainController(), before) << "a new controller";
  EXPECT_EQ(CaptureSize(), cv::Size(1280, 960));
  EXPECT_EQ(Window().MainController()->Rotation(), 90) << "the turn is kept";
  EXPECT_EQ(IsDlgButtonChecked(Window().GetSafeHwnd(), 6016), BST_CHECKED);
  EXPECT_NEAR(Cap(MSG_GETCURRENT, ICAP_XRESOLUTION).Fix32Item(), 109.22, 1e-3);
  EXPECT_NEAR(Cap(MSG_GETCURRENT, ICAP_YRESOLUTION).Fix32Item(), 109.22, 1e-3);
  ASSERT_TRUE(Pump([&] { return !Window().MainController()->GetFrame().empty(); }));
  Click(6000);
  ASSERT_EQ(Window().Pages().size(), 1u);
  EXPECT_EQ(Window().Pages()[0].size(), cv::Size(960, 1280)) << "the new size, turned";

  // Cancelled, nothing changes.
  vqplatform::ModalScript cancelled({[](HWND d) {
    ItemMessage(d, 6035, CB_SETCURSEL, 0);
    vqplatform::ClickControl(d, IDCANCEL);
  }});
  const CCaptureController* reopened = Window().MainController();
  Click(6021);
  EXPECT_EQ(cancelled.StepsRun(), 1u);
  EXPECT_EQ(Window().MainController(), reopened);
  EXPECT_EQ(Window().Settings().ResolutionWidth, 1280);

  // Closing saves the record; the next window reads it back and opens at that size.
  ds.reset();
  const std::string text = vqtest::ReadFile(SettingsPath());
  for (const char* key : {"ResolutionWidth=1280", "ResolutionHeight=960", "Content=Stamp", "Color=16711680",
                          "Transparency=30", "TimeMark=FALSE"})
    EXPECT_NE(text.find(key), std::string::npos) << key;
  MakeSource(5);
  const CTwainSettings& loaded = Window().Settings();
  EXPECT_EQ(loaded.ResolutionWidth, 1280);
  EXPECT_TRUE(loaded.TextMark);
  EXPECT_FALSE(loaded.TimeMark);
  EXPECT_EQ(loaded.Content, CString(L"Stamp"));
  EXPECT_EQ(loaded.Color, 0xFF0000);
  EXPECT_EQ(loaded.Transparency, 30);
  EXPECT_EQ(CaptureSize(), cv::Size(1280, 960));

  // A custom mark without text is stored off; a typed colour is red.
  vqplatform::ModalScript emptied({[](HWND d) {
    EXPECT_EQ(ItemText(d, 6044), L"Stamp");
    EXPECT_EQ(ItemMessage(d, 6047, CB_GETCURSEL), 2);
    EXPECT_EQ(ItemText(d, 6049), L"30");
    SetDlgItemTextW(d, 6044, L"");
    ItemMessage(d, 6047, CB_SETCURSEL, static_cast<WPARAM>(-1));
    SetDlgItemTextW(d, 6047, L"紫");
    vqplatform::ClickControl(d, IDOK);
  }});
  Click(6021);
  EXPECT_FALSE(Window().Settings().TextMark);
  EXPECT_EQ(Window().Settings().Color, 255);
}

TEST_F(ScanParameters, StoredSizeTheCameraLacksIsKeptAndTheSecondaryCameraKeepsItsOwn) {
  Settings("");
  std::ofstream(SettingsPath()) << "[IMAGE]\nResolutionWidth=1024\nResolutionHeight=768\n"
                                << "PortraitResolutionWidth=640\nPortraitResolutionHeight=480\n";
  MakeSource(5);
  vqplatform::ModalScript kept({[](HWND d) {
    EXPECT_EQ(ItemMessage(d, 6035, CB_GETCURSEL), CB_ERR) << "1024x768 is not offered";
    vqplatform::ClickControl(d, IDOK);
  }});
  const CCaptureController* before = Window().MainController();
  Click(6021);
  EXPECT_EQ(Window().MainController(), before);
  EXPECT_EQ(Window().Settings().ResolutionWidth, 1024);

  // The portrait camera alone: its sizes, stored as the portrait size.
  Click(6034);
  ASSERT_EQ(Window().Settings().cameraMode, 1);
  vqplatform::ModalScript portrait({[](HWND d) {
    EXPECT_EQ(ItemMessage(d, 6035, CB_GETCURSEL), 0) << "640x480";
    ItemMessage(d, 6035, CB_SETCURSEL, 1);
    vqplatform::ClickControl(d, IDOK);
  }});
  Click(6021);
  EXPECT_EQ(Window().Settings().PortraitResolutionWidth, 1280);
  EXPECT_EQ(Window().Settings().ResolutionWidth, 1024);
  EXPECT_EQ(Window().MainController(), before);
  ASSERT_NE(Window().SecondaryController(), nullptr);
  int width = 0, height = 0;
  Window().SecondaryController()->GetResolution(&width, &height);
  EXPECT_EQ(cv::Size(width, height), cv::Size(1280, 960));
}

// The document camera plays a desk where a hand passes, then two sheets are
// laid down one after the other.
class ContinuousShooting : public CameraWindow {
 protected:
  vq::dshow::VirtualCameraConfig DocumentCamera() override {
    auto document = CameraWindow::DocumentCamera();
    document.sizes = {{640, 480}};
    auto script = std::make_shared<vqscene::SceneScript>(vqscene::EmptyDesk({640, 480}), 3);
    script->Wait(1.5).HandPasses(2).Wait(1).LaySheet(2).Wait(3).LaySheet(2).Wait(30);
    document.content.kind = vq::dshow::VirtualContent::Kind::Script;
    document.content.script = script;
    return document;
  }
  void OpenWindow() {
    Settings("");
    std::ofstream(vq::WideToUtf8(vq::MachineDataFolder()) + "/TwainPara0101.ini")
        << "[IMAGE]\nResolutionWidth=640\nResolutionHeight=480\nMULTIPLE=false\n[Camera]\nRotateAngle=0\n";
    MakeSource(5);
  }
  bool Checked(int id) { return IsDlgButtonChecked(Window().GetSafeHwnd(), id) == BST_CHECKED; }
  // Moves the manual clock on by 100 ms steps. Before each, serves this
  // thread's messages until every thread that paces itself on the clock (the
  // camera, the preview's worker, the shooting thread and the portrait
  // camera) waits for it, none is still at work on what it was woken for,
  // and nothing is left to handle: whatever the machine's load, each thread
  // sees the same frames at the same times.
  void RunClock(int milliseconds) {
    constexpr size_t kPacedThreads = 4;
    for (int done = 0; done < milliseconds; done += 100) {
      ASSERT_TRUE(Pump([&] {
        MSG msg;
        return !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && vqplatform::Clock::ThreadsAtWork() == 0 &&
               vqplatform::Clock::TimedWaiterCount() >= kPacedThreads;
      })) << "at " << done << " ms only " << vqplatform::Clock::TimedWaiterCount() << " threads wait for the clock";
      vqplatform::Clock::Advance(100);
    }
  }
};

// The desk plays on the layer's clock, run here by hand: each step waits
// until the camera, the preview and the shooting thread have done what it
// woke them for, so a busy machine changes nothing of what they see.
TEST_F(ContinuousShooting, EachSheetIsScannedOnceWhileThePassingHandIsNot) {
  vqplatform::ManualClockScope manual;
  OpenWindow();
  ASSERT_FALSE(Checked(6027));
  Click(6028);
  ASSERT_TRUE(Window().IsShooting());
  EXPECT_TRUE(Checked(6027)) << "multi-shot switched on";
  EXPECT_TRUE(Window().Pages().empty());
  for (int id : {6028, 6012, 6027, 6021}) EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_TRUE(Enabled(6033));
  RunClock(13000);
  EXPECT_EQ(Window().Pages().size(), 2u) << "one page per sheet, none for the hand";
  RunClock(3000);
  EXPECT_EQ(Window().Pages().size(), 2u) << "nothing more while the sheet stays";
  EXPECT_EQ(ds->GetState(), 5) << "the pages wait for the upload";
  EXPECT_TRUE(vqplatform::MessageBoxLog().empty());
  Click(6033);
  EXPECT_FALSE(Window().IsShooting());
  for (int id : {6028, 6012, 6027, 6021}) EXPECT_TRUE(Enabled(id)) << id;
  EXPECT_FALSE(Enabled(6033));
  EXPECT_TRUE(Checked(6027)) << "multi-shot stays on";
}

// Under ThreadSanitizer: the worker asks the window's thread for frames while
// the window stops it, starts it again and closes with it running.
class ShootingThreads : public ContinuousShooting {
 protected:
  void SetUp() override {
    ContinuousShooting::SetUp();
    // OpenCV's pool is not instrumented: its workers would only add noise.
    cv::setNumThreads(1);
  }
  vq::dshow::VirtualCameraConfig DocumentCamera() override {
    auto document = ContinuousShooting::DocumentCamera();
    document.sizes = {{320, 240}};
    document.framesPerSecond = 5;
    return document;
  }
};

TEST_F(ShootingThreads, StopJoinsTheWorkerAndClosingStopsItFirst) {
  vqplatform::ManualClockScope manual;
  OpenWindow();
  Click(6028);
  ASSERT_TRUE(Window().IsShooting());
  Click(6028);  // a second start while shooting does nothing
  RunClock(1500);
  Click(6033);
  EXPECT_FALSE(Window().IsShooting());
  EXPECT_TRUE(Enabled(6028));
  Click(6033);  // stopping again does nothing
  Click(6028);
  ASSERT_TRUE(Window().IsShooting());
  RunClock(1200);
  ds.reset();
}

}  // namespace
}  // namespace twaintest

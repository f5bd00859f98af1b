// The continuous-shooting dialog: the countdown on the manual clock, pause
// and stop, the detection thread's reports, the texts in three languages,
// and the new-sheet decision on the scripted desk.
#include "ui/ContinuousShootDlg.h"

#include <gtest/gtest.h>

#include <deque>

#include <opencv2/imgproc.hpp>

#include "imaging/ChangeDetection.h"
#include "platform/win/Clock.h"
#include "scene/Script.h"
#include "tests/ui/CaptureDialogsSupport.h"
#include "tests/ui/LayoutCheck.h"
#include "tests/ui/ScreenshotSupport.h"

using vqplatform::Clock;

namespace {

// The main window's part: counts the shots asked for and the closing.
class ShotOwner : public CWnd {
 public:
  ShotOwner() { CreateEx(0, AfxRegisterWndClass(0), L"owner", WS_POPUP, CRect(0, 0, 100, 100), nullptr, 0); }
  ~ShotOwner() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_CONTINUOUS_SHOT) (wParam == 0 ? shots : closings)++;
    return CWnd::WindowProc(message, wParam, lParam);
  }
  int shots = 0, closings = 0;
};

void Click(CDialog& dialog, int id) {
  dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  vqtest::Pump(dialog.m_hWnd);
}

void Tick(CDialog& dialog) {
  Clock::Advance(1000);
  vqtest::Pump(dialog.m_hWnd);
}

bool Enabled(CDialog& dialog, int id) { return ::IsWindowEnabled(dialog.GetDlgItem(id)->m_hWnd); }

TEST(ContinuousShootDialogTest, CountdownShootsEveryIntervalPausesAndStops) {
  vqplatform::ManualClockScope manual;
  ShotOwner owner;
  CContinuousShootDlg dialog(&owner, 2.56f, 0);
  EXPECT_EQ(dialog.Interval(), 2.5f);
  EXPECT_EQ(dialog.Remaining(), 2500);
  dialog.cameraIndex = 1;  // the portrait camera: timed only
  ASSERT_TRUE(dialog.Create(CContinuousShootDlg::IDD, &owner));
  EXPECT_FALSE(Enabled(dialog, 1084));
  EXPECT_EQ(::IsDlgButtonChecked(dialog.m_hWnd, 1063), BST_CHECKED);
  EXPECT_FALSE(Enabled(dialog, 1032));
  EXPECT_EQ(dialog.StatusText(), CString(L"请单击开始连拍"));

  Click(dialog, IDOK);
  EXPECT_FALSE(Enabled(dialog, IDOK));
  EXPECT_TRUE(Enabled(dialog, 1032));
  EXPECT_EQ(dialog.StatusText(), CString(L"2.5秒后拍摄下一张图像"));
  Tick(dialog);
  EXPECT_EQ(dialog.StatusText(), CString(L"1.5秒后拍摄下一张图像"));
  Tick(dialog);
  EXPECT_EQ(dialog.StatusText(), CString(L"0.5秒后拍摄下一张图像"));
  EXPECT_EQ(owner.shots, 0);
  Tick(dialog);
  EXPECT_EQ(owner.shots, 1);
  EXPECT_EQ(dialog.StatusText(), CString(L"2.5秒后拍摄下一张图像"));
  EXPECT_EQ(dialog.CountText(), CString(L"当前已经拍摄1张图像"));

  // Paused, time passes without shots; a new start keeps counting.
  Click(dialog, 1032);
  EXPECT_EQ(dialog.StatusText(), CString(L"请单击开始连拍"));
  EXPECT_TRUE(Enabled(dialog, IDOK));
  for (int i = 0; i < 5; ++i) Tick(dialog);
  EXPECT_EQ(owner.shots, 1);
  dialog.SetDlgItemText(1026, L"1");
  Click(dialog, IDOK);
  for (int i = 0; i < 3; ++i) Tick(dialog);
  EXPECT_EQ(owner.shots, 4);
  EXPECT_EQ(dialog.CountText(), CString(L"当前已经拍摄4张图像"));

  Click(dialog, IDCANCEL);
  vqtest::Pump(owner.m_hWnd);
  EXPECT_EQ(owner.closings, 1);
}

// Without a controller the thread reports the missing video every period
// until paused; the join returns with the thread gone.
TEST(ThreadContinuousShoot, WithoutVideoReportsItAndStopsOnPause) {
  ShotOwner owner;
  CContinuousShootDlg dialog(&owner, 1.0f, 2);
  ASSERT_TRUE(dialog.Create(CContinuousShootDlg::IDD, &owner));
  EXPECT_TRUE(Enabled(dialog, 1084));
  EXPECT_EQ(::IsDlgButtonChecked(dialog.m_hWnd, 1084), BST_CHECKED);  // automatic preselected
  Click(dialog, IDOK);
  EXPECT_TRUE(dialog.ThreadRunning());
  EXPECT_EQ(dialog.StatusText(), CString(L"Detecting image"));
  const ULONGLONG end = GetTickCount64() + 10000;
  while (dialog.StatusText() != CString(L"Failed to get video data") && GetTickCount64() < end) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    vqtest::Pump(dialog.m_hWnd);
  }
  EXPECT_EQ(dialog.StatusText(), CString(L"Failed to get video data"));
  Click(dialog, 1032);
  EXPECT_FALSE(dialog.ThreadRunning());
  EXPECT_EQ(dialog.StatusText(), CString(L"Please click \"Start\" to continuous Capturing"));
  EXPECT_EQ(owner.shots, 0);
  // A thread still running when the window goes is joined first.
  Click(dialog, IDOK);
  dialog.DestroyWindow();
  EXPECT_FALSE(dialog.ThreadRunning());
}

TEST(ContinuousShootDialogTest, ScreenshotsInThreeLanguagesFit) {
  ShotOwner owner;
  for (int language : {0, 1, 2}) {
    CContinuousShootDlg dialog(&owner, 3.0f, language);
    ASSERT_TRUE(dialog.Create(CContinuousShootDlg::IDD, &owner));
    dialog.ShowWindow(SW_SHOW);
    vqtest::Pump(dialog.m_hWnd);
    EXPECT_EQ(vqtest::LayoutProblems(dialog.m_hWnd), std::vector<std::string>{}) << language;
    EXPECT_FALSE(vqtest::SaveScreenshot(dialog.m_hWnd, "continuous-shoot-" + std::to_string(language) + ".png").empty());
    CString caption;
    dialog.GetWindowText(caption);
    EXPECT_EQ(caption, CString(language == 2 ? L"Continuous capturing" : L"连续拍摄"));
  }
}

// The decision at the thread's pace on the scripted desk: one shot per sheet
// laid down or swapped, none for an empty desk or a passing hand.
TEST(ContinuousShootDialogTest, NewSheetDecisionShootsOncePerSheetOnTheScriptedDesk) {
  vqscene::SceneScript script(vqscene::EmptyDesk({640, 480}), 3);
  script.Wait(3).HandPasses(3).Wait(3).LaySheet(3).Wait(6).LaySheet(3).Wait(6).ClearDesk(1).Wait(4);
  std::vector<double> shots;
  int noSheet = 0, sameSheet = 0;
  std::deque<cv::Mat> history(3);
  for (double t = 0.8; t <= script.Duration(); t += 0.8) {
    cv::Mat frame;
    cv::resize(script.FrameAt(t), frame, cv::Size(), 0.2, 0.2, cv::INTER_LINEAR);
    switch (JudgeSheet(history[0], history[1], frame, CContinuousShootDlg::kChangedAreaRatio)) {
      case SheetVerdict::NewSheet: shots.push_back(t); break;
      case SheetVerdict::NoSheet: ++noSheet; break;
      case SheetVerdict::SameSheet: ++sameSheet; break;
      case SheetVerdict::Changing: break;
    }
    history.pop_front();
    history.push_back(frame);
  }
  ASSERT_EQ(shots.size(), 2u);
  EXPECT_GT(shots[0], 12.0);  // after the first sheet came to rest
  EXPECT_LT(shots[0], 18.0);
  EXPECT_GT(shots[1], 21.0);
  EXPECT_LT(shots[1], 27.0);
  EXPECT_GT(noSheet, 5);
  EXPECT_GT(sameSheet, 5);
}

}  // namespace

// The exposure search on the virtual camera with the clock run by hand: a
// driver thread moves time on whenever every clocked thread sleeps, so each
// three-second settling passes at once and each step sees its own frames.
#include "ui/AutoExposureDlg.h"

#include <gtest/gtest.h>

#include <thread>

#include "capture/CaptureController.h"
#include "capture/PreviewMessages.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Clock.h"
#include "platform/win/WindowRegistry.h"
#include "tests/ui/CaptureDialogsSupport.h"
#include "tests/ui/LayoutCheck.h"
#include "tests/ui/ScreenshotSupport.h"
#include "tests/support/ClockTicker.h"
#include "tests/support/TestEnv.h"

using namespace std::chrono_literals;
using vqplatform::Clock;

namespace {

// Whether the preview's window thread has camera frames it has not taken.
bool FramesPending(HWND preview) {
  return vqplatform::RunOnWindowThread(preview, [] {
    MSG msg;
    return LRESULT(PeekMessageW(&msg, nullptr, WM_VIDEO_FRAME, WM_VIDEO_FRAME, PM_NOREMOVE));
  }) != 0;
}

// A window of the dialog's thread that saves the dialog when asked.
class ScreenshotTaker : public vqtest::OwnerWindow {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_APP) return OwnerWindow::WindowProc(message, wParam, lParam);
    saved = vqtest::SaveScreenshot(target->m_hWnd, "auto-exposure-dialog.png");
    problems = vqtest::LayoutProblems(target->m_hWnd);
    return 0;
  }
  CWnd* target = nullptr;
  std::string saved;
  std::vector<std::string> problems;
};

// Escape and Enter arrive as soon as the dialog is up.
class KeyedAutoExposureDlg : public CAutoExposureDlg {
 protected:
  BOOL OnInitDialog() override {
    BOOL result = CAutoExposureDlg::OnInitDialog();
    PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessage(WM_KEYDOWN, VK_RETURN, 0);
    return result;
  }
};

TEST(AutoExposureDialogTest, SearchOnTheVirtualCameraSetsTheBestExposureAndEndsWithOk) {
  vqplatform::ManualClockScope manual;
  vq::dshow::VirtualCameraConfig config;
  config.vendorId = L"5651";
  config.productId = L"d0c0";
  config.sizes = {{640, 480}};
  config.framesPerSecond = 10;
  auto camera = vq::dshow::PlugInVirtualCamera(config);
  auto exposure = [&] {
    vq::dshow::ControlState state{};
    camera->GetControl(vq::dshow::ControlKind::CameraControl, CameraControl_Exposure, &state);
    return state;
  };
  ScreenshotTaker parent;
  {
    CCaptureController controller(true, false);
    ASSERT_EQ(controller.OpenCamera(L"5651", L"d0c0", nullptr, &parent, 0, 0, 320, 240, false, 0), S_OK);
    ASSERT_EQ(controller.SetCameraControl(4, -10), S_OK);  // a dark start
    ASSERT_TRUE(controller.Run());
    const auto patience = std::chrono::steady_clock::now() + vqtest::kPatience;
    while (controller.GetFrame().empty() && std::chrono::steady_clock::now() < patience) {
      Clock::Advance(100);
      std::this_thread::sleep_for(10ms);
    }
    ASSERT_FALSE(controller.GetFrame().empty());
    // The camera's stream and the preview's worker pace themselves on the
    // clock (counted, not sampled: a thread held up on a busy machine would
    // be left out of a count that merely holds still for a while).
    constexpr size_t kClockedThreads = 2;
    ASSERT_TRUE(Clock::WaitForTimedWaiters(kClockedThreads, vqtest::kPatience));
    std::vector<long> visited;
    const HWND preview = ::GetWindow(parent.m_hWnd, GW_CHILD);
    ASSERT_NE(preview, nullptr);
    ASSERT_NE(GetWindowThreadProcessId(preview, nullptr), GetCurrentThreadId()) << "the preview's own thread";
    // Each 100 ms step waits, besides the clocked threads, for the preview's
    // window thread (not clocked) to take the frames given to it, else a busy
    // machine would have the dialog measure a frame from before its change.
    vqtest::ClockTicker ticker(kClockedThreads + 1, 100ms, [&] { return !FramesPending(preview); }, [&] {
      if (exposure().value == (visited.empty() ? -10 : visited.back())) return;
      visited.push_back(exposure().value);
      if (visited.size() == 3) parent.PostMessage(WM_APP);  // a screenshot during the search
    });
    KeyedAutoExposureDlg dialog;
    dialog.controller = &controller;
    parent.target = &dialog;
    vqtest::MenuAndBoxAnswers answers;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_FALSE(ticker.HeldUp()) << "the clock moved on while a clocked thread or the preview worked";
    EXPECT_EQ(answers.BoxTexts(), std::vector<std::wstring>{});
    EXPECT_FALSE(parent.saved.empty());
    EXPECT_EQ(parent.problems, std::vector<std::string>{});
    // Up from -10 until past the target and farther from it, then down from
    // -11 until below it and farther; the best kept is set, not the last tried.
    EXPECT_EQ(visited, (std::vector<long>{-9, -8, -7, -6, -5, -11, -6}));
    EXPECT_EQ(dialog.exposure, -6);
    EXPECT_EQ(std::make_pair(exposure().value, exposure().flags), std::make_pair(-6L, long{CameraControl_Flags_Manual}));
    controller.Stop();
  }
  vq::dshow::RemoveVirtualCameras();
}

TEST(AutoExposureDialogTest, CameraWithoutAnExposureRangeEndsWithTheFailureMessage) {
  vqplatform::ManualClockScope manual;
  CCaptureController controller(true, false);  // no camera opened
  vqtest::MenuAndBoxAnswers answers;
  vqtest::ClockTicker ticker(1, 100ms);
  KeyedAutoExposureDlg dialog;
  dialog.controller = &controller;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(answers.BoxTexts(), std::vector<std::wstring>{L"软件自动控制曝光失败！"});
  // Without a controller it ends at once.
  CAutoExposureDlg none;
  EXPECT_EQ(none.DoModal(), IDCANCEL);
}

}  // namespace

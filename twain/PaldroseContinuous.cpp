// The camera window's continuous shooting: a worker looks at the main
// camera's live picture twice a second and asks the window to scan each new
// sheet once it lies still.
#include <deque>

#include <opencv2/imgproc.hpp>

#include "capture/CaptureController.h"
#include "imaging/ChangeDetection.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "twain/PaldroseDlg.h"

namespace strenvik {

namespace {
constexpr DWORD kPassPeriodMs = 500;
constexpr double kLookScale = 0.2;
constexpr float kChangedAreaRatio = 0.075f;
}  // namespace

void CPaldroseDlg::OnStartContinuous() {
  if (!m_mainController || m_shootThread) return;
  if (IsDlgButtonChecked(6027) != BST_CHECKED) {
    CheckDlgButton(6027, BST_CHECKED);
    OnMultiShotCheck();
  }
  ResetEvent(m_stopEvent);
  m_shootThread = CreateThread(nullptr, 0, &CPaldroseDlg::ContinuousShootThread, this, 0, nullptr);
  if (!m_shootThread) return;
  // The scan parameters may replace the camera the worker looks at.
  for (int id : {6028, 6012, 6027, 6021}) GetDlgItem(id)->EnableWindow(FALSE);
  GetDlgItem(6033)->EnableWindow(TRUE);
}

void CPaldroseDlg::OnStopContinuous() {
  if (!m_shootThread) return;
  SetEvent(m_stopEvent);
  // The worker may be waiting for this thread to answer its frame request.
  WaitServingSentMessages(m_shootThread, INFINITE);
  CloseHandle(m_shootThread);
  m_shootThread = nullptr;
  for (int id : {6028, 6012, 6027, 6021}) GetDlgItem(id)->EnableWindow(TRUE);
  GetDlgItem(6033)->EnableWindow(FALSE);
}

DWORD CPaldroseDlg::ContinuousShootThread(void* parameter) {
  auto* window = static_cast<CPaldroseDlg*>(parameter);
  const HWND target = window->GetSafeHwnd();
  // The frames of the last three passes, oldest first.
  std::deque<cv::Mat> history(3);
  for (;;) {
    const cv::Mat older = history[0], old = history[1];
    cv::Mat frame;
    // The controller is not replaced while this thread runs.
    if (CCaptureController* controller = window->m_mainController) frame = controller->GetFrame();
    if (!frame.empty()) cv::resize(frame, frame, cv::Size(), kLookScale, kLookScale, cv::INTER_LINEAR);
    if (JudgeSheet(older, old, frame, kChangedAreaRatio) == SheetVerdict::NewSheet)
      PostMessageW(target, WM_DS_AUTO_CAPTURE, 0, 0);
    history.pop_front();
    history.push_back(frame);
    if (WaitForSingleObject(window->m_stopEvent, kPassPeriodMs) != WAIT_TIMEOUT) return 0;
  }
}

}  // namespace strenvik

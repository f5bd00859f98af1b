#include "ui/AutoExposureDlg.h"

#include <cstdlib>

#include <opencv2/imgproc.hpp>

#include "capture/CaptureController.h"
#include "imaging/ChangeDetection.h"
#include "platform/win/ModalLoops.h"

namespace {

constexpr UINT_PTR kStartTimer = 1;
constexpr UINT kStartDelayMs = 500;
constexpr DWORD kFinalSettleMs = 1000;
constexpr long kExposure = 4;  // the camera-control property
constexpr int kProgress = 1082;
constexpr double kMeasureScale = 0.2;

}  // namespace

BEGIN_MESSAGE_MAP(CAutoExposureDlg, CDialog)
ON_WM_TIMER()
END_MESSAGE_MAP()

CAutoExposureDlg::CAutoExposureDlg(CWnd* parent) : CDialog(IDD, parent) { vqres::LoadResources(); }

void CAutoExposureDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, kProgress, progress);
}

BOOL CAutoExposureDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (!controller) {
    EndDialog(IDCANCEL);
    return TRUE;
  }
  SetTimer(kStartTimer, kStartDelayMs, nullptr);
  return TRUE;
}

void CAutoExposureDlg::OnTimer(UINT_PTR id) {
  if (id != kStartTimer) return;
  KillTimer(kStartTimer);
  Search();
}

int CAutoExposureDlg::Measure() {
  cv::Mat frame = controller->GetFrame(), small;
  if (frame.empty()) return -1;
  cv::resize(frame, small, cv::Size(), kMeasureScale, kMeasureScale, cv::INTER_LINEAR);
  return EstimatePaperBrightness(small);
}

bool CAutoExposureDlg::WaitDispatching(DWORD ms) {
  vqplatform::ModalLoop wait;
  wait.done = [this] { return !::IsWindow(m_hWnd); };
  wait.timeoutMs = ms;
  return vqplatform::RunModalLoop(wait) == vqplatform::LoopEnd::kTimedOut;
}

bool CAutoExposureDlg::Try(long value, int* brightness) {
  controller->SetCameraControl(kExposure, value);
  if (!WaitDispatching(kSettleMs)) return false;
  progress.SetPos(progress.GetPos() + 1);
  *brightness = Measure();
  return true;
}

// Upwards until a step passes the target and gets farther from it, then
// downwards from the start until a step falls below it and gets farther.
// The value kept last is set, not the last one tried.
void CAutoExposureDlg::Search() {
  long minimum = 0, maximum = 0, step = 0, dflt = 0, flags = 0;
  if (!controller || FAILED(controller->GetCameraControlRange(kExposure, &minimum, &maximum, &step, &dflt, &flags))) {
    if (controller) MessageBox(L"软件自动控制曝光失败！", L"", MB_OK);
    EndDialog(IDCANCEL);
    return;
  }
  progress.SetRange32(0, static_cast<int>(maximum - minimum + 1));
  progress.SetPos(1);
  long current = 0;
  controller->GetCameraControl(kExposure, &current, &flags);
  long best = current;
  int bestDistance = std::abs(Measure() - kTargetBrightness);
  for (int direction : {1, -1}) {
    for (long value = current + direction; value >= minimum && value <= maximum; value += direction) {
      int brightness = 0;
      if (!Try(value, &brightness)) {
        EndDialog(IDCANCEL);
        return;
      }
      const int distance = std::abs(brightness - kTargetBrightness);
      const bool passed = direction > 0 ? brightness > kTargetBrightness : brightness < kTargetBrightness;
      if (distance > bestDistance && passed) break;
      bestDistance = distance;
      best = value;
    }
  }
  exposure = best;
  controller->SetCameraControl(kExposure, best);
  if (!WaitDispatching(kFinalSettleMs)) {
    EndDialog(IDCANCEL);
    return;
  }
  EndDialog(IDOK);
}

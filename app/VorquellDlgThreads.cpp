// The worker threads and modeless dialogs that use a capture controller:
// each is stopped and joined before the controller it uses goes away.
#include "app/ContinuousShooting.h"
#include "app/VorquellDlg.h"
#include "platform/win/Handles.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"

void CVorquellDlg::StartOrientationThread() {
  if (!orientationThreadProc_) return;
  if (!orientationStopEvent_) orientationStopEvent_ = CreateEventW(nullptr, FALSE, FALSE, L"StopPODInspectThread");
  if (orientationThread_) return;
  ResetEvent(orientationStopEvent_);
  orientationThread_ = CreateThread(nullptr, 0, orientationThreadProc_, this, 0, nullptr);
}

void CVorquellDlg::StopOrientationThread() {
  if (orientationThread_) {
    SetEvent(orientationStopEvent_);
    // The thread may be sending to this window while it is joined.
    WaitServingSentMessages(orientationThread_, INFINITE);
    CloseHandle(orientationThread_);
    orientationThread_ = nullptr;
  }
  if (orientationStopEvent_) {
    CloseHandle(orientationStopEvent_);
    orientationStopEvent_ = nullptr;
  }
}

void CVorquellDlg::CloseContinuousShooting() {
  if (!continuousDlg_) return;
  continuousDlg_->StopInspectThread();
  continuousDlg_.reset();
}

void CVorquellDlg::CloseCameras() {
  StopOrientationThread();
  CloseContinuousShooting();
  documentController_.reset();
  portraitController_.reset();
}

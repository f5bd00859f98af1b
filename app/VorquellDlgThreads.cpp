// The worker threads and dialogs that use a capture controller: each is
// stopped and joined, or told, before the controller it uses goes away.
#include <cstdio>
#include <memory>

#include "app/ContinuousShooting.h"
#include "app/OrientationThread.h"
#include "app/VorquellDlg.h"
#include "platform/win/Clock.h"
#include "platform/win/Handles.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Sync.h"
#include "ui/OCRProgressDlg.h"
#include "ui/VideoToFileDlg.h"

#if defined(__SANITIZE_ADDRESS__)
#define VQ_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VQ_LEAK_CHECKED 1
#endif
#endif
#ifdef VQ_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

namespace {

void ReportLeftRunning(const char* worker) {
  std::fprintf(stderr, "Vorquell: %s did not end within the exit's patience; it is left to the end of the program\n",
               worker);
}

// What a worker left running at exit still uses stays until the process
// ends, on purpose: the leak checker is told so.
template <class T>
void KeepForWorker(std::unique_ptr<T>& owner) {
  T* kept = owner.release();
#ifdef VQ_LEAK_CHECKED
  if (kept) __lsan_ignore_object(kept);
#else
  (void)kept;
#endif
}

}  // namespace

void CVorquellDlg::StartOrientationThread() {
  if (!orientationThreadProc_) return;
  if (!orientationStopEvent_) orientationStopEvent_ = CreateEventW(nullptr, FALSE, FALSE, L"StopPODInspectThread");
  if (orientationThread_) return;
  ResetEvent(orientationStopEvent_);
  orientationThread_ = CreateThread(nullptr, 0, orientationThreadProc_, this, 0, nullptr);
}

bool CVorquellDlg::StopOrientationThread(DWORD patienceMs) {
  bool ended = true;
  if (orientationThread_) {
    SetEvent(orientationStopEvent_);
    // The thread may be sending to this window while it is joined. Left
    // running, it holds its own handle of the stop event, which stays set
    // until it looks: it ends at its next look without touching the window.
    ended = WaitServingSentMessages(orientationThread_, patienceMs) == WAIT_OBJECT_0;
    if (!ended) ReportLeftRunning("the orientation check");
    CloseHandle(orientationThread_);
    orientationThread_ = nullptr;
  }
  if (orientationStopEvent_) {
    CloseHandle(orientationStopEvent_);
    orientationStopEvent_ = nullptr;
  }
  return ended;
}

LRESULT CVorquellDlg::OnOrientationResult(WPARAM wParam, LPARAM lParam) {
  if (wParam == 0) {
    // The thread ended by itself and returns right after posting; a thread
    // still running a second later is a newer one and is left alone.
    if (orientationThread_ && WaitForSingleObject(orientationThread_, 1000) == WAIT_OBJECT_0) {
      CloseHandle(orientationThread_);
      orientationThread_ = nullptr;
    }
    return 0;
  }
  if (wParam != 1 || !documentController_) return 0;
  // A result for a frame shown in an earlier turn would turn the page twice.
  if (OrientationPreviewTurn(lParam) != documentRotation_) return 0;
  // The detected angle turns the page upright counter-clockwise; the
  // preview's turns go clockwise.
  documentRotation_ = (documentRotation_ + 360 - OrientationAngle(lParam)) % 360;
  documentController_->SetRotation(documentRotation_);
  return 0;
}

bool CVorquellDlg::CloseContinuousShooting(DWORD patienceMs) {
  if (!continuousDlg_) return true;
  if (!continuousDlg_->StopInspectThread(patienceMs)) {
    ReportLeftRunning("the continuous shooting");
    KeepForWorker(continuousDlg_);
    return false;
  }
  continuousDlg_.reset();
  return true;
}

void CVorquellDlg::CloseWorkersAtExit() {
  const uint64_t deadline = vqplatform::Clock::NowMs() + kExitPatienceMs;
  const auto patience = [deadline]() -> DWORD {
    const uint64_t now = vqplatform::Clock::NowMs();
    return now < deadline ? static_cast<DWORD>(deadline - now) : 0;
  };
  // The quick ones first, so that one busy worker does not use up the
  // patience of those that end at once.
  bool previewsEnded = true;
  for (const auto* controller : {&documentController_, &portraitController_})
    if (*controller && !(*controller)->StopPreviewWorker(patience())) previewsEnded = false;
  // The orientation thread, asked to stop, touches the controllers no more;
  // the continuous-shooting thread grabs through them until it ends.
  StopOrientationThread(patience());
  const bool camerasFree = CloseContinuousShooting(patience());
  if (recognitionLeft_ && !recognitionLeft_->JoinThreads(patience())) {
    ReportLeftRunning("the text recognition");
    KeepForWorker(recognitionLeft_);
  }
  recognitionLeft_.reset();
  if (!camerasFree || !previewsEnded) {
    if (camerasFree) ReportLeftRunning("a camera preview");
    KeepForWorker(documentController_);
    KeepForWorker(portraitController_);
  }
  CloseCameras();
}

void CVorquellDlg::CloseCameras() {
  StopOrientationThread();
  CloseContinuousShooting();
  ReleaseController(documentController_);
  ReleaseController(portraitController_);
}

void CVorquellDlg::ReleaseController(std::unique_ptr<CCaptureController>& controller) {
  if (!controller) return;
  if (recorder_ && recorder_->captureController == controller.get()) recorder_->CameraLost(MessageText(MSG_UNPLUGGED));
  if (vqplatform::InNestedLoop()) {
    // A handler further down may be inside this controller's own code: it
    // stops now and goes once the loops have unwound.
    controller->Stop();
    controller->ShowPreview(false);
  }
  vqplatform::DeleteAtTopLevel(std::move(controller));
}

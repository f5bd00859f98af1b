#include "app/OrientationThread.h"

#include <cstdio>

#include "app/VorquellDlg.h"
#include "base/PathEncoding.h"
#include "imaging/AutoCrop.h"
#include "ocr/TextOrientationDetector.h"
#include "platform/win/Handles.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"

namespace {

constexpr DWORD kPeriodMs = 300;

// The page cut out of the frame; the whole frame when no page is found.
cv::Mat PageOf(const cv::Mat& frame) {
  cv::Mat page;
  if (AutoCropDocument(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &page) && !page.empty()) return page;
  return frame;
}

}  // namespace

DWORD OrientationThreadProc(LPVOID parameter) {
  auto* window = static_cast<CVorquellDlg*>(parameter);
  const HWND hwnd = window->GetSafeHwnd();
  const std::string model = vq::PathToBytes(vq::JoinPath(vq::ProgramFolder(), L"OCR_RLDA_LN_Gra.tpl"));
  CTextOrientationDetector detector;
  if (!detector.Initialize(model.c_str())) {
    PostMessageW(hwnd, WM_ORIENTATION_RESULT, 0, 0);
    return 0;
  }
  HANDLE stop = OpenEventW(0, FALSE, L"StopPODInspectThread");
  // The detection asks for the stop between marks; a stop it takes (the
  // event resets itself) is kept here for the loop.
  bool stopped = false;
  auto stopRequested = [&] {
    if (!stopped && stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) stopped = true;
    return stopped;
  };
  while (!stopped) {
    const DWORD waited = WaitForSingleObject(stop, kPeriodMs);
    if (waited == WAIT_FAILED) std::fprintf(stderr, "orientation thread: waiting for its stop event failed\n");
    if (waited != WAIT_TIMEOUT) break;
    CCaptureController* camera = window->DocumentController();
    if (!camera) {
      PostMessageW(hwnd, WM_ORIENTATION_RESULT, 0, 0);
      break;
    }
    // The result is tagged with the turn the frame was shown in, so the
    // window drops it when the preview has turned since: a frame from before
    // a turn would turn the page twice, however late the preview catches up.
    int turn = 0;
    const cv::Mat frame = camera->GetFrame(&turn);
    int angle = 0;
    if (detector.Detect(PageOf(frame), &angle, false, stopRequested))
      PostMessageW(hwnd, WM_ORIENTATION_RESULT, 1, OrientationResult(angle, turn));
  }
  if (stop) CloseHandle(stop);
  return 0;
}

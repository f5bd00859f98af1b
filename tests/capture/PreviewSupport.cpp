#include "tests/capture/PreviewSupport.h"

#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "tests/support/Windows.h"

namespace vqtest {

cv::Mat PatternGrabData::Picture(int serial) const {
  cv::Mat picture(height_, width_, CV_8UC3);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) picture.at<cv::Vec3b>(y, x) = cv::Vec3b(uchar(x), uchar(y), uchar(serial));
  return picture;
}

bool PatternGrabData::GetFrame(CDPrgb24* destination) {
  if (failing || !destination) return false;
  cv::Mat bottomUp;
  cv::flip(Picture(++pulls), bottomUp, 0);
  return destination->SetFrame(bottomUp.data, width_, height_);
}

cv::Mat PatternGrabData::GetMat() { return Picture(pulls); }

RecordingWindow::RecordingWindow() {
  static const ATOM registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &RecordingWindow::Proc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.lpszClassName = L"VqTestRecordingWindow";
    return RegisterClassW(&wc);
  }();
  (void)registered;
  hwnd_ = CreateWindowExW(0, L"VqTestRecordingWindow", L"preview parent", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 800, 600,
                          nullptr, nullptr, nullptr, nullptr);
  SetWindowLongPtrW(hwnd_, 0, reinterpret_cast<LONG_PTR>(this));
}

RecordingWindow::~RecordingWindow() {
  SetWindowLongPtrW(hwnd_, 0, 0);
  DestroyWindow(hwnd_);
}

LRESULT CALLBACK RecordingWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(hwnd, 0)))
    self->seen_.push_back(MSG{hwnd, message, wParam, lParam, 0, {}});
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

int RecordingWindow::Count(UINT message) const {
  int n = 0;
  for (const MSG& m : seen_) n += m.message == message;
  return n;
}

LPARAM RecordingWindow::LastLParam(UINT message) const {
  for (auto it = seen_.rbegin(); it != seen_.rend(); ++it)
    if (it->message == message) return it->lParam;
  return -1;
}

WPARAM RecordingWindow::LastWParam(UINT message) const {
  for (auto it = seen_.rbegin(); it != seen_.rend(); ++it)
    if (it->message == message) return it->wParam;
  return WPARAM(-1);
}

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  return Pump(condition, limit);
}

}  // namespace vqtest

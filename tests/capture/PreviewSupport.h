#pragma once
// Test support for the previews: a frame source the test controls, a plain
// parent window that records what reaches it, message pumping, and preview
// kinds whose frame step can be held.
#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

#include "capture/GrabData.h"
#include "capture/ShowVideoImpl.h"
#include "capture/ShowVideoThread.h"
#include "platform/win/Sync.h"
#include "tests/support/TestEnv.h"

namespace vqtest {

// Frames of a fixed size whose pixel (x, y), counted from the top, is
// (x % 256, y % 256, serial % 256); GetFrame fails while `failing` is set.
class PatternGrabData : public IGrabData {
 public:
  PatternGrabData(int width, int height) : width_(width), height_(height) {}
  bool GetFrame(CDPrgb24* destination) override;
  cv::Mat GetMat() override;
  bool ReservedA(int, int, int, int) override { return false; }
  bool ReservedB(int, int, int, int) override { return false; }
  // The picture of a serial number, top-down.
  cv::Mat Picture(int serial) const;

  std::atomic<bool> failing{false};
  std::atomic<int> pulls{0};

 private:
  int width_, height_;
};

// A top-level window of the calling thread that counts the messages it gets.
class RecordingWindow {
 public:
  RecordingWindow();
  ~RecordingWindow();
  HWND Handle() const { return hwnd_; }
  int Count(UINT message) const;
  LPARAM LastLParam(UINT message) const;
  WPARAM LastWParam(UINT message) const;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND hwnd_ = nullptr;
  std::vector<MSG> seen_;
};

// The kit's pump (Windows.h) until the condition holds or the limit passes.
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPatience);

// A preview kind that counts its frame steps and can hold them at a gate.
template <class Kind>
class GatedPreview : public Kind {
 public:
  GatedPreview() : gate_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}
  // The worker ends before the gate it may wait at goes.
  ~GatedPreview() override {
    Open();
    this->StopWorker();
    CloseHandle(gate_);
  }
  void Hold() { ResetEvent(gate_); }
  void Open() { SetEvent(gate_); }
  CObjectContainer* TheCanvas() { return this->Canvas(); }

  std::atomic<int> started{0};
  std::atomic<int> steps{0};

 protected:
  bool ProcessFrame() override {
    ++started;
    WaitForSingleObject(gate_, INFINITE);
    const bool produced = Kind::ProcessFrame();
    ++steps;
    return produced;
  }

 private:
  HANDLE gate_;
};

}  // namespace vqtest

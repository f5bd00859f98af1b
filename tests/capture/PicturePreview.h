#pragma once
// A preview without a window whose picture the test sets: GetImage hands out
// a copy of it (empty until set), counting the calls.
#include <atomic>
#include <cstring>
#include <mutex>

#include <opencv2/core.hpp>

#include "capture/ShowVideoPro.h"

namespace vqtest {

class PicturePreview : public CShowVideoPro {
 public:
  // A top-down 8-bit BGR picture; an empty one empties the preview.
  void SetPicture(const cv::Mat& bgr) {
    std::lock_guard lock(mutex_);
    picture_ = bgr.clone();
  }
  void GetImage(CImage* picture) override {
    ++calls;
    if (!picture->IsNull()) picture->Destroy();
    std::lock_guard lock(mutex_);
    if (picture_.empty()) return;
    picture->Create(picture_.cols, picture_.rows, 24);
    for (int y = 0; y < picture_.rows; ++y)
      std::memcpy(picture->GetPixelAddress(0, y), picture_.ptr(y), size_t(picture_.cols) * 3);
  }
  bool Create(HWND, int, int, int, int) override { return true; }
  bool SetRotation(int) override { return true; }
  void SetAutoDetect(bool, bool, float) override {}
  void Zoom(bool) override {}

  std::atomic<int> calls{0};

 protected:
  CObjectContainer* Canvas() override { return nullptr; }
  void RenderOverlays(CImage*) override {}

 private:
  std::mutex mutex_;
  cv::Mat picture_;
};

}  // namespace vqtest

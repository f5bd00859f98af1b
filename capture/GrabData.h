#pragma once
// IGrabData, the one way a preview pulls frames from a video source.
#include <opencv2/core.hpp>

#include "capture/FrameHolder.h"
#include "capture/PreviewMessages.h"

class IGrabData {
 public:
  // Copies the newest frame into the destination; false before the first frame.
  virtual bool GetFrame(CDPrgb24* destination) = 0;
  // A top-down copy of the newest frame; empty before the first frame.
  virtual cv::Mat GetMat() = 0;
  virtual bool ReservedA(int a, int b, int c, int d) = 0;
  virtual bool ReservedB(int a, int b, int c, int d) = 0;

 protected:
  ~IGrabData() = default;
};

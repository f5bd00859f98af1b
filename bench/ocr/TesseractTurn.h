#pragma once
// Tesseract's orientation detection on a grey page, for the benchmarks that
// set it beside the program's detector.
#include <tesseract/baseapi.h>

#include <opencv2/core.hpp>

namespace ocrbench {

// The page's turn in degrees as the program's detector counts it; false when
// Tesseract found none.
inline bool TesseractTurn(tesseract::TessBaseAPI& api, const cv::Mat& grey, int dpi, int* angle) {
  api.SetImage(grey.data, grey.cols, grey.rows, 1, static_cast<int>(grey.step));
  api.SetSourceResolution(dpi);
  int degrees = 0;
  float orientationConfidence = 0.0f, scriptConfidence = 0.0f;
  const char* script = nullptr;
  if (!api.DetectOrientationScript(&degrees, &orientationConfidence, &script, &scriptConfidence)) return false;
  *angle = degrees;
  return true;
}

}  // namespace ocrbench

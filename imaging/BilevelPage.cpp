#include "imaging/BilevelPage.h"

#include <opencv2/imgproc.hpp>

#include "imaging/DarkPixels.h"

bool PackBilevelPage(const cv::Mat& page, BilevelPage* packed) {
  if (packed == nullptr || page.empty() || page.depth() != CV_8U) return false;
  cv::Mat grey;
  switch (page.channels()) {
    case 1: grey = page; break;
    case 3: cv::cvtColor(page, grey, cv::COLOR_RGB2GRAY); break;
    case 4: cv::cvtColor(page, grey, cv::COLOR_RGBA2GRAY); break;
    default: return false;
  }
  BilevelPage result;
  result.width = grey.cols;
  result.height = grey.rows;
  result.bytesPerRow = (grey.cols + 7) / 8;
  result.bits.assign(static_cast<std::size_t>(result.bytesPerRow) * grey.rows, 0);
  for (int row = 0; row < grey.rows; ++row) {
    const unsigned char* source = grey.ptr<unsigned char>(row);
    unsigned char* target = result.bits.data() + static_cast<std::size_t>(row) * result.bytesPerRow;
    for (int col = 0; col < grey.cols; ++col) {
      if (vq::IsDark(source[col])) target[col >> 3] |= static_cast<unsigned char>(0x80 >> (col & 7));
    }
  }
  *packed = std::move(result);
  return true;
}

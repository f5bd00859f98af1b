// DecodeJpeg takes frames that arrive from outside (network source): any
// bytes must give either an empty matrix or a well-formed image.
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "imaging/ImageFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > static_cast<size_t>(INT_MAX)) return 0;
  const cv::Mat image = DecodeJpeg(data, static_cast<int>(size));
  if (image.empty()) return 0;
  if (image.depth() != CV_8U || (image.channels() != 1 && image.channels() != 3) || image.rows < 1 ||
      image.cols < 1)
    std::abort();
  return 0;
}

#pragma once
// Pages for the recognition benchmarks: A4 at 200 dpi, 12-point random
// GB2312 level-1 text, clean or as a blurred, noisy scan.
#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

#include "scene/CjkText.h"

namespace ocrbench {

constexpr int kWidth = 1654, kHeight = 2339;  // A4 at 200 dpi
constexpr int kEm = 33;                       // 12 points

struct Page {
  cv::Mat image;
  std::u32string text;  // the characters in reading order
};

Page MakeChinesePage(const vqscene::CjkFont& font, bool scanned, uint64_t seed = 2024);
// Lines of random English words in a serif face.
cv::Mat MakeEnglishPage(uint64_t seed);

}  // namespace ocrbench

#pragma once
// A 1-bit page: rows from the top, leftmost pixel in the most significant bit,
// 1 for a dark pixel (grey below 125), unused low bits of a row's last byte 0.
#include <vector>

#include <opencv2/core.hpp>

struct BilevelPage {
  int width = 0;
  int height = 0;
  int bytesPerRow = 0;  // (width + 7) / 8
  int bitsPerPixel = 1;
  std::vector<unsigned char> bits;  // bytesPerRow * height
};

// Packs an 8-bit page; a colour page is first turned grey with the weights
// 0.299, 0.587, 0.114 on channels 1, 2, 3. False for an empty page or one that
// is not 8-bit with one, three or four channels.
bool PackBilevelPage(const cv::Mat& page, BilevelPage* packed);

#pragma once
// Synthetic pages and captures for the output tests.
#include <string>

#include <opencv2/core.hpp>

#include "app/SysSettings.h"

namespace outputtest {

// A QR code (zint) black on white with a quiet zone; empty when it cannot be
// encoded. `eci` 26 marks the bytes as UTF-8 (readers guess otherwise).
cv::Mat RenderQr(const std::string& data, int scale = 5, int eci = 0);

// A white colour page of the given size with dark "text" lines and the
// symbol (when given) pasted at (x, y).
cv::Mat TextPage(cv::Size size, const cv::Mat& symbol = {}, cv::Point at = {20, 20});

// A desk frame with `count` sheets side by side (1..3).
cv::Mat DeskWithSheets(int count, cv::Size frame = {1024, 768});

// Settings with no marks, no barcodes, colour, JPEG, 200 dpi.
CSysSettings PlainSettings();

}  // namespace outputtest

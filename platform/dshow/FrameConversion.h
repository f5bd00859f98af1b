#pragma once
// Conversions between the camera formats and the frame format of the system
// (bottom-up BGR24 rows without padding).
#include <cstddef>
#include <vector>

#include <opencv2/core.hpp>

#include "platform/win/WinTypes.h"

namespace vq::dshow {

// YUY2 (top-down, 2 bytes per pixel) to bottom-up BGR24. Width must be even.
void Yuy2ToBottomUpBgr(const BYTE* yuy2, int width, int height, BYTE* bgr);

// Top-down BGR to YUY2, as a camera delivers it.
std::vector<BYTE> BgrToYuy2(const cv::Mat& bgr);

// True when a JPEG stream defines Huffman tables before its first scan.
bool HasHuffmanTables(const BYTE* data, size_t length);

// The stream with the standard Huffman tables inserted after the start
// marker when it defines none (motion-JPEG frames of USB cameras leave them
// out); unchanged otherwise. Empty when the stream does not start with SOI.
std::vector<BYTE> WithStandardHuffmanTables(const BYTE* data, size_t length);

// Decodes one motion-JPEG frame of exactly width x height into bottom-up
// BGR24. False for a damaged stream or a frame of another size.
bool MjpgToBottomUpBgr(const BYTE* data, size_t length, int width, int height, BYTE* bgr);

// Encodes top-down BGR as a camera's motion-JPEG frame: 4:2:2, standard
// tables, the Huffman table segment left out. Empty on failure.
std::vector<BYTE> BgrToMjpg(const cv::Mat& bgr, int quality);

}  // namespace vq::dshow

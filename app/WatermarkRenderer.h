#pragma once
// The watermark of saved pages: the text drawn through GDI onto a grey tile,
// then blended into the page wherever the tile is not that grey.
#include <opencv2/core.hpp>

#include "platform/mfc/CString.h"

// The tile's background; tile pixels of exactly this grey are never blended.
inline constexpr int kWatermarkTileGrey = 168;

// A three-channel (B, G, R) tile as large as the text's extent in "Arial"
// with the given cell height, filled with the tile grey and the text drawn
// in color (0x00BBGGRR). Empty for an empty text or when GDI fails.
cv::Mat RenderWatermarkTile(const CString& text, int size, int color);

// Blends the tile into the image (8-bit, one or three channels) at position
// 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right or 4 centre: each
// channel becomes trunc(tile * (1 - t) + image * t), t = transparency / 100.
// Parts of the tile outside the image are skipped; a one-channel image gets
// the blended colour through the grey conversion. Other positions do nothing.
void BlendWatermarkTile(cv::Mat& image, const cv::Mat& tile, int position, int transparency);

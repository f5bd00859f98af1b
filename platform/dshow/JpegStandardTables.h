#pragma once
// The JPEG standard's typical Huffman tables (luminance and chrominance, DC
// and AC) as one DHT marker segment.
#include <vector>

#include "platform/win/WinTypes.h"

namespace vq::dshow {
const std::vector<BYTE>& StandardHuffmanSegment();
}

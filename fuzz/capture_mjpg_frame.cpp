// Motion-JPEG frames come from cameras: any bytes must decode into a frame
// of the announced size or be refused, and inserting the standard Huffman
// tables must keep a stream well formed. The first two bytes choose the
// announced size (8 to 64 pixels a side).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/dshow/FrameConversion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int width = 8 * (1 + data[0] % 8), height = 8 * (1 + data[1] % 8);
  const BYTE* stream = data + 2;
  const size_t length = size - 2;
  std::vector<BYTE> frame(size_t(width) * height * 3);
  vq::dshow::MjpgToBottomUpBgr(stream, length, width, height, frame.data());
  const bool hadTables = vq::dshow::HasHuffmanTables(stream, length);
  const std::vector<BYTE> complete = vq::dshow::WithStandardHuffmanTables(stream, length);
  if (!complete.empty() && !vq::dshow::HasHuffmanTables(complete.data(), complete.size())) std::abort();
  if (hadTables && complete != std::vector<BYTE>(stream, stream + length)) std::abort();
  return 0;
}

#pragma once
// Sizes of the transfer formats, computed in 64 bits: the compact rows of the
// transfer buffer and the 32-bit aligned rows of DIBs and host buffers.
#include <cstdint>

// No block handed to or taken from the host is larger than this.
constexpr uint64_t kMaxTransferBytes = uint64_t{1} << 30;

// Unpadded bytes of one row.
constexpr uint64_t CompactRowBytes(uint64_t bitsPerPixel, uint64_t width) {
  return (bitsPerPixel * width + 7) / 8;
}

// Bytes of one row padded to whole 32-bit words.
constexpr uint64_t AlignedRowBytes(uint64_t bitsPerPixel, uint64_t width) {
  return (bitsPerPixel * width + 31) / 32 * 4;
}

// Colour-table entries of a DIB of that depth.
constexpr uint32_t PaletteEntries(uint64_t bitsPerPixel) {
  return bitsPerPixel == 1 ? 2 : bitsPerPixel == 8 ? 256 : 0;
}

// Header, palette and padded rows of a DIB.
constexpr uint64_t DibBytes(uint64_t bitsPerPixel, uint64_t width, uint64_t height) {
  return 40 + 4 * uint64_t{PaletteEntries(bitsPerPixel)} +
         AlignedRowBytes(bitsPerPixel, width) * height;
}

// Exchanges the first and third byte of each three-byte pixel while copying.
inline void CopySwappingRedBlue(uint8_t* to, const uint8_t* from, uint64_t pixels) {
  for (uint64_t i = 0; i < pixels; ++i, to += 3, from += 3) {
    const uint8_t first = from[0];
    to[0] = from[2];
    to[1] = from[1];
    to[2] = first;
  }
}

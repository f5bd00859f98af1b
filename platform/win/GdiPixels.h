#pragma once
// Pixel formats of device-independent bitmaps and their conversion to and
// from the 32-bit working pixels (0x00RRGGBB in native byte order, the
// layout of cairo's RGB24) that every drawing operation works on.
#include <cstdint>
#include <vector>

#include "platform/win/GdiTypes.h"

namespace vqplatform::gdi {

// Working pixel helpers.
inline uint32_t PixelFromColor(COLORREF c) {
  return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}
inline COLORREF ColorFromPixel(uint32_t p) {
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

// The layout of one stored row: bit depth, colour table and, for 16 and
// 32 bits, the channel masks.
class PixelFormat {
 public:
  PixelFormat() = default;
  PixelFormat(int bitsPerPixel, std::vector<RGBQUAD> palette, const DWORD* masks = nullptr);

  // Reads a BITMAPINFO (header, masks and colour table); false when the
  // depth or compression is not one GDI keeps uncompressed.
  static bool FromInfo(const BITMAPINFO* info, UINT usage, PixelFormat* out);

  int Bpp() const { return bpp_; }
  const std::vector<RGBQUAD>& Palette() const { return palette_; }
  void SetPalette(std::vector<RGBQUAD> palette) { palette_ = std::move(palette); }
  const DWORD* Masks() const { return masks_; }

  // Bytes of one row of the given width, padded to 4 bytes.
  static int StrideFor(int width, int bpp) { return ((width * bpp + 31) / 32) * 4; }

  // Converts `count` pixels starting at pixel `x0` of a stored row.
  void Decode(const BYTE* row, int x0, int count, uint32_t* out) const;
  void Encode(const uint32_t* in, int x0, int count, BYTE* row) const;

 private:
  uint32_t PaletteIndexOf(uint32_t pixel) const;

  int bpp_ = 32;
  std::vector<RGBQUAD> palette_;
  DWORD masks_[3] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
};

}  // namespace vqplatform::gdi

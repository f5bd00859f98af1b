#include "platform/win/GdiPixels.h"

#include <bit>
#include <climits>
#include <cstring>

namespace vqplatform::gdi {
namespace {

// Scales a masked channel value to 8 bits.
uint32_t Expand(uint32_t value, DWORD mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  int bits = std::popcount(mask);
  uint32_t v = (value & mask) >> shift;
  if (bits >= 8) return v >> (bits - 8);
  uint32_t max = (1u << bits) - 1;
  return (v * 255 + max / 2) / max;
}

uint32_t Compress(uint32_t channel8, DWORD mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  int bits = std::popcount(mask);
  uint32_t v = bits >= 8 ? channel8 << (bits - 8) : (channel8 * ((1u << bits) - 1) + 127) / 255;
  return (v << shift) & mask;
}

}  // namespace

PixelFormat::PixelFormat(int bitsPerPixel, std::vector<RGBQUAD> palette, const DWORD* masks)
    : bpp_(bitsPerPixel), palette_(std::move(palette)) {
  if (masks) {
    std::memcpy(masks_, masks, sizeof(masks_));
  } else if (bpp_ == 16) {
    masks_[0] = 0x7C00;
    masks_[1] = 0x03E0;
    masks_[2] = 0x001F;
  }
}

bool PixelFormat::FromInfo(const BITMAPINFO* info, UINT usage, PixelFormat* out) {
  if (!info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  const BYTE* after = reinterpret_cast<const BYTE*>(info) + h.biSize;
  const DWORD* masks = nullptr;
  if (h.biCompression == BI_BITFIELDS) {
    if (bpp != 16 && bpp != 32) return false;
    masks = reinterpret_cast<const DWORD*>(after);
    after += 3 * sizeof(DWORD);
  } else if (h.biCompression != BI_RGB) {
    return false;
  }
  std::vector<RGBQUAD> palette;
  if (bpp <= 8) {
    size_t count = h.biClrUsed ? h.biClrUsed : (1u << bpp);
    if (count > (1u << bpp)) count = 1u << bpp;
    palette.resize(count);
    if (usage == DIB_PAL_COLORS) {
      // Palette indices into the default (grey) palette.
      const WORD* idx = reinterpret_cast<const WORD*>(after);
      for (size_t i = 0; i < count; ++i) {
        BYTE g = static_cast<BYTE>(idx[i] & 0xFF);
        palette[i] = RGBQUAD{g, g, g, 0};
      }
    } else {
      std::memcpy(palette.data(), after, count * sizeof(RGBQUAD));
    }
  }
  *out = PixelFormat(bpp, std::move(palette), masks);
  return true;
}

void PixelFormat::Decode(const BYTE* row, int x0, int count, uint32_t* out) const {
  auto fromQuad = [](const RGBQUAD& q) {
    return (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
  };
  auto indexed = [&](uint32_t index) {
    return index < palette_.size() ? fromQuad(palette_[index]) : 0u;
  };
  switch (bpp_) {
    case 1:
      for (int i = 0; i < count; ++i) {
        int x = x0 + i;
        out[i] = indexed((row[x >> 3] >> (7 - (x & 7))) & 1);
      }
      break;
    case 4:
      for (int i = 0; i < count; ++i) {
        int x = x0 + i;
        out[i] = indexed((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
      }
      break;
    case 8:
      for (int i = 0; i < count; ++i) out[i] = indexed(row[x0 + i]);
      break;
    case 16:
      for (int i = 0; i < count; ++i) {
        uint32_t v = row[(x0 + i) * 2] | (uint32_t(row[(x0 + i) * 2 + 1]) << 8);
        out[i] = (Expand(v, masks_[0]) << 16) | (Expand(v, masks_[1]) << 8) | Expand(v, masks_[2]);
      }
      break;
    case 24:
      for (int i = 0; i < count; ++i) {
        const BYTE* p = row + (x0 + i) * 3;
        out[i] = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
      }
      break;
    default: {
      const bool standard = masks_[0] == 0x00FF0000u && masks_[1] == 0x0000FF00u && masks_[2] == 0x000000FFu;
      if (standard) {
        // The fourth byte travels along untouched: it is not alpha.
        std::memcpy(out, row + x0 * 4, size_t(count) * 4);
      } else {
        for (int i = 0; i < count; ++i) {
          uint32_t v;
          std::memcpy(&v, row + (x0 + i) * 4, 4);
          out[i] = (Expand(v, masks_[0]) << 16) | (Expand(v, masks_[1]) << 8) | Expand(v, masks_[2]);
        }
      }
      break;
    }
  }
}

uint32_t PixelFormat::PaletteIndexOf(uint32_t pixel) const {
  int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  uint32_t best = 0;
  int bestDistance = INT_MAX;
  for (size_t i = 0; i < palette_.size(); ++i) {
    int dr = r - palette_[i].rgbRed, dg = g - palette_[i].rgbGreen, db = b - palette_[i].rgbBlue;
    int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<uint32_t>(i);
      if (d == 0) break;
    }
  }
  return best;
}

void PixelFormat::Encode(const uint32_t* in, int x0, int count, BYTE* row) const {
  // Runs of equal pixels are common; remember the last palette lookup.
  uint32_t lastPixel = 0xFFFFFFFFu, lastIndex = 0;
  auto index = [&](uint32_t p) {
    p &= 0x00FFFFFFu;
    if (p != lastPixel) {
      lastPixel = p;
      lastIndex = PaletteIndexOf(p);
    }
    return lastIndex;
  };
  switch (bpp_) {
    case 1:
      for (int i = 0; i < count; ++i) {
        int x = x0 + i;
        BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
        if (index(in[i]) & 1)
          row[x >> 3] |= bit;
        else
          row[x >> 3] &= static_cast<BYTE>(~bit);
      }
      break;
    case 4:
      for (int i = 0; i < count; ++i) {
        int x = x0 + i;
        BYTE v = static_cast<BYTE>(index(in[i]) & 0x0F);
        BYTE& byte = row[x >> 1];
        byte = (x & 1) ? static_cast<BYTE>((byte & 0xF0) | v) : static_cast<BYTE>((byte & 0x0F) | (v << 4));
      }
      break;
    case 8:
      for (int i = 0; i < count; ++i) row[x0 + i] = static_cast<BYTE>(index(in[i]));
      break;
    case 16:
      for (int i = 0; i < count; ++i) {
        uint32_t p = in[i];
        uint32_t v = Compress((p >> 16) & 0xFF, masks_[0]) | Compress((p >> 8) & 0xFF, masks_[1]) |
                     Compress(p & 0xFF, masks_[2]);
        row[(x0 + i) * 2] = static_cast<BYTE>(v & 0xFF);
        row[(x0 + i) * 2 + 1] = static_cast<BYTE>(v >> 8);
      }
      break;
    case 24:
      for (int i = 0; i < count; ++i) {
        BYTE* p = row + (x0 + i) * 3;
        p[0] = static_cast<BYTE>(in[i] & 0xFF);
        p[1] = static_cast<BYTE>((in[i] >> 8) & 0xFF);
        p[2] = static_cast<BYTE>((in[i] >> 16) & 0xFF);
      }
      break;
    default: {
      const bool standard = masks_[0] == 0x00FF0000u && masks_[1] == 0x0000FF00u && masks_[2] == 0x000000FFu;
      if (standard) {
        std::memcpy(row + x0 * 4, in, size_t(count) * 4);
      } else {
        for (int i = 0; i < count; ++i) {
          uint32_t p = in[i];
          uint32_t v = Compress((p >> 16) & 0xFF, masks_[0]) | Compress((p >> 8) & 0xFF, masks_[1]) |
                       Compress(p & 0xFF, masks_[2]);
          std::memcpy(row + (x0 + i) * 4, &v, 4);
        }
      }
      break;
    }
  }
}

}  // namespace vqplatform::gdi

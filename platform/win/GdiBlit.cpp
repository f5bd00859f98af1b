#include "platform/win/GdiBlit.h"

#include <algorithm>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/win/GdiDcInternal.h"
#include "platform/win/GdiDraw.h"

namespace vqplatform::gdi {
namespace {

// A signed rectangle: x, y, width, height (negative extents mirror).
struct Extent {
  int x, y, w, h;
};

// Source pixels for a rectangle of a bitmap, in working format; reads
// outside the bitmap repeat its edge.
std::vector<uint32_t> ReadSource(BitmapObject& src, int x, int y, int w, int h) {
  std::vector<uint32_t> out(size_t(w) * h);
  int x0 = std::clamp(x, 0, src.Width() - 1), x1 = std::clamp(x + w, 1, src.Width());
  int y0 = std::clamp(y, 0, src.Height() - 1), y1 = std::clamp(y + h, 1, src.Height());
  src.Load(RECT{x0, y0, std::max(x1, x0 + 1), std::max(y1, y0 + 1)});
  cairo_surface_flush(src.View());
  const bool inside = x >= 0 && x + w <= src.Width();
  for (int j = 0; j < h; ++j) {
    const uint32_t* row = src.ViewRow(std::clamp(y + j, 0, src.Height() - 1));
    uint32_t* dst = out.data() + size_t(j) * w;
    if (inside) {
      std::memcpy(dst, row + x, size_t(w) * 4);
    } else {
      for (int i = 0; i < w; ++i) dst[i] = row[std::clamp(x + i, 0, src.Width() - 1)];
    }
  }
  return out;
}

// Resamples w x h pixels to dw x dh: area averaging for HALFTONE, nearest
// neighbour otherwise.
std::vector<uint32_t> Resample(std::vector<uint32_t> pixels, int w, int h, int dw, int dh, bool halftone) {
  if (w == dw && h == dh) return pixels;
  std::vector<uint32_t> out(size_t(dw) * dh);
  if (halftone) {
    cv::Mat in(h, w, CV_8UC4, pixels.data());
    cv::Mat result(dh, dw, CV_8UC4, out.data());
    try {
      cv::resize(in, result, cv::Size(dw, dh), 0, 0, cv::INTER_AREA);
    } catch (const cv::Exception&) {
      return {};
    }
    return out;
  }
  for (int j = 0; j < dh; ++j) {
    int sy = std::min(h - 1, int((int64_t(j) * 2 + 1) * h / (int64_t(2) * dh)));
    for (int i = 0; i < dw; ++i) {
      int sx = std::min(w - 1, int((int64_t(i) * 2 + 1) * w / (int64_t(2) * dw)));
      out[size_t(j) * dw + i] = pixels[size_t(sy) * w + sx];
    }
  }
  return out;
}

// Colour conversions of monochrome blits: a monochrome device bitmap
// becomes the destination's text colour (0) and background colour (1); DIB
// sections and DIBs keep the colours of their own table. A colour source
// into a monochrome destination becomes white where it has the source DC's
// background colour and black elsewhere.
void ConvertForMonochrome(std::vector<uint32_t>& pixels, const BitmapObject& src, const DcObject* srcDc,
                          const BitmapObject& dst, const DcObject& dstDc) {
  bool srcMono = src.Format().Bpp() == 1, dstMono = dst.Format().Bpp() == 1;
  if (srcMono && !dstMono) {
    if (src.IsDibSection()) return;
    uint32_t zero = PixelFromColor(dstDc.state.textColor), one = PixelFromColor(dstDc.state.bkColor);
    uint32_t white = 0xFFFFFF;
    if (!src.Format().Palette().empty()) {
      const RGBQUAD& q = src.Format().Palette().back();
      white = (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
    }
    for (uint32_t& p : pixels) p = (p & 0xFFFFFF) == white ? one : zero;
  } else if (!srcMono && dstMono && srcDc) {
    uint32_t bk = PixelFromColor(srcDc->state.bkColor);
    for (uint32_t& p : pixels) p = (p & 0xFFFFFF) == bk ? 0xFFFFFF : 0;
  }
}

// Stretches a source rectangle of `src` onto the destination DC (logical
// extents) and combines each pixel with op(src, dst&, x, y).
template <typename Op>
bool Transfer(DcObject& dst, Extent d, BitmapObject& src, const DcObject* srcDc, Extent s, bool halftone,
              Op&& op) {
  if (d.w == 0 || d.h == 0 || s.w == 0 || s.h == 0) return true;
  bool flipX = (d.w < 0) != (s.w < 0), flipY = (d.h < 0) != (s.h < 0);
  if (d.w < 0) d = Extent{d.x + d.w, d.y, -d.w, d.h};
  if (d.h < 0) d = Extent{d.x, d.y + d.h, d.w, -d.h};
  if (s.w < 0) s = Extent{s.x + s.w, s.y, -s.w, s.h};
  if (s.h < 0) s = Extent{s.x, s.y + s.h, s.w, -s.h};
  if (int64_t(d.w) * d.h > (int64_t(1) << 28) || int64_t(s.w) * s.h > (int64_t(1) << 28)) return false;
  auto target = dst.Target();
  if (!target) return true;  // the headless screen: drawn nowhere

  std::vector<uint32_t> pixels = ReadSource(src, s.x, s.y, s.w, s.h);
  ConvertForMonochrome(pixels, src, srcDc, *target, dst);
  pixels = Resample(std::move(pixels), s.w, s.h, d.w, d.h, halftone);
  if (pixels.empty()) return false;

  POINT o = dst.ToTarget(d.x, d.y);
  RECT r{o.x, o.y, o.x + d.w, o.y + d.h};
  TargetAccess access(dst, r);
  if (access.Empty()) return true;
  access.ForEachRun(r, [&](uint32_t* run, int count, int x0, int y) {
    int j = flipY ? d.h - 1 - (y - o.y) : y - o.y;
    const uint32_t* row = pixels.data() + size_t(j) * d.w;
    for (int k = 0; k < count; ++k) {
      int i = x0 + k - o.x;
      op(row[flipX ? d.w - 1 - i : i], run[k], x0 + k, y);
    }
  });
  return true;
}

// Runs `run` with the pixel operation of a ternary raster operation with a
// source (and MERGECOPY's pattern); false for operations not supported.
template <typename Run>
bool WithRop(DcObject& dst, DWORD rop, Run&& run) {
  auto keep = [](uint32_t value, uint32_t& d) { d = (d & 0xFF000000u) | (value & 0x00FFFFFFu); };
  switch (rop & 0x00FFFFFFu) {
    case SRCCOPY: return run([](uint32_t s, uint32_t& d, int, int) { d = s; });
    case SRCPAINT: return run([=](uint32_t s, uint32_t& d, int, int) { keep(s | d, d); });
    case SRCAND: return run([=](uint32_t s, uint32_t& d, int, int) { keep(s & d, d); });
    case SRCINVERT: return run([=](uint32_t s, uint32_t& d, int, int) { keep(s ^ d, d); });
    case SRCERASE: return run([=](uint32_t s, uint32_t& d, int, int) { keep(s & ~d, d); });
    case NOTSRCCOPY: return run([=](uint32_t s, uint32_t& d, int, int) { keep(~s, d); });
    case NOTSRCERASE: return run([=](uint32_t s, uint32_t& d, int, int) { keep(~(s | d), d); });
    case MERGEPAINT: return run([=](uint32_t s, uint32_t& d, int, int) { keep(~s | d, d); });
    case MERGECOPY: {
      BrushPaint paint = BrushPaintFor(dst, dst.state.brush);
      return run([=](uint32_t s, uint32_t& d, int x, int y) {
        uint32_t p = 0xFFFFFF;
        if (!paint.IsNull()) paint.PixelAt(x, y, &p);
        keep(s & p, d);
      });
    }
    default: return false;
  }
}

bool IsPatternOnlyRop(DWORD rop) {
  switch (rop & 0x00FFFFFFu) {
    case PATCOPY:
    case PATINVERT:
    case DSTINVERT:
    case BLACKNESS:
    case WHITENESS: return true;
    default: return false;
  }
}

template <typename Op>
BOOL StretchBetweenDcs(HDC dstHandle, Extent d, HDC srcHandle, Extent s, Op&& op, bool halftone) {
  auto dst = DcFromHandle(dstHandle), src = DcFromHandle(srcHandle);
  if (!dst || !src || !src->Target()) return FALSE;
  POINT so = src->ToTarget(s.x, s.y);
  s.x = so.x;
  s.y = so.y;
  return Transfer(*dst, d, *src->Target(), src.get(), s, halftone, op) ? TRUE : FALSE;
}

bool Halftone(HDC dc) {
  auto d = DcFromHandle(dc);
  return d && d->state.stretchMode == HALFTONE;
}

// A DIB section over a copy of DIB bits in the format of `info`.
std::shared_ptr<BitmapObject> BitmapFromDib(const void* bits, const BITMAPINFO* info, UINT usage) {
  PixelFormat format;
  if (!bits || !PixelFormat::FromInfo(info, usage, &format)) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biHeight == INT32_MIN) return nullptr;
  return BitmapObject::Create(h.biWidth, std::abs(h.biHeight), format, h.biHeight < 0, true, bits);
}

}  // namespace
}  // namespace vqplatform::gdi

using namespace vqplatform::gdi;

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop) {
  return StretchBlt(dst, x, y, width, height, src, xSrc, ySrc, width, height, rop);
}

BOOL StretchBlt(HDC dstHandle, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                int heightSrc, DWORD rop) {
  if (IsPatternOnlyRop(rop)) return PatBlt(dstHandle, x, y, width, height, rop & 0x00FFFFFFu);
  auto dst = DcFromHandle(dstHandle);
  if (!dst) return FALSE;
  bool halftone = Halftone(dstHandle);
  return WithRop(*dst, rop, [&](auto op) {
    return StretchBetweenDcs(dstHandle, Extent{x, y, width, height}, src, Extent{xSrc, ySrc, widthSrc, heightSrc},
                             op, halftone) != FALSE;
  });
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                    int heightSrc, UINT transparent) {
  if (width < 0 || height < 0 || widthSrc < 0 || heightSrc < 0) return FALSE;
  uint32_t key = PixelFromColor(transparent);
  auto op = [key](uint32_t s, uint32_t& d, int, int) {
    if ((s & 0x00FFFFFFu) != key) d = s;
  };
  return StretchBetweenDcs(dst, Extent{x, y, width, height}, src, Extent{xSrc, ySrc, widthSrc, heightSrc}, op,
                           false);
}

BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                int heightSrc, BLENDFUNCTION blend) {
  if (blend.BlendOp != AC_SRC_OVER || width < 0 || height < 0 || widthSrc < 0 || heightSrc < 0) return FALSE;
  auto srcDc = DcFromHandle(src);
  bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
  if (perPixel && (!srcDc || !srcDc->Target() || srcDc->Target()->Format().Bpp() != 32)) return FALSE;
  uint32_t constant = blend.SourceConstantAlpha;
  auto op = [=](uint32_t s, uint32_t& d, int, int) {
    uint32_t out = d & 0xFF000000u;
    uint32_t alpha = perPixel ? ((s >> 24) * constant + 127) / 255 : constant;
    for (int shift = 0; shift <= 16; shift += 8) {
      uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
      // Premultiplied sources add their colour scaled by the constant alpha.
      uint32_t scaled = (sc * constant + 127) / 255;
      uint32_t v = perPixel ? scaled + (dc * (255 - alpha) + 127) / 255 : (sc * alpha + dc * (255 - alpha) + 127) / 255;
      out |= std::min<uint32_t>(v, 255) << shift;
    }
    d = out;
  };
  return StretchBetweenDcs(dst, Extent{x, y, width, height}, src, Extent{xSrc, ySrc, widthSrc, heightSrc}, op,
                           Halftone(dst));
}

BOOL GdiAlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int xs, int ys, int ws, int hs, BLENDFUNCTION b) {
  return AlphaBlend(dst, x, y, w, h, src, xs, ys, ws, hs, b);
}

BOOL GdiTransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int xs, int ys, int ws, int hs, UINT key) {
  return TransparentBlt(dst, x, y, w, h, src, xs, ys, ws, hs, key);
}

namespace {

// The colour table GetDIBits writes for a depth the bitmap does not have.
std::vector<RGBQUAD> DefaultPalette(int bpp) {
  std::vector<RGBQUAD> palette;
  if (bpp == 1) return {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
  if (bpp == 4) {
    static const BYTE vga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (auto& c : vga) palette.push_back(RGBQUAD{c[2], c[1], c[0], 0});
    return palette;
  }
  // 8 bits: 3-3-2 colour levels.
  for (int i = 0; i < 256; ++i) {
    palette.push_back(RGBQUAD{static_cast<BYTE>((i & 3) * 255 / 3), static_cast<BYTE>(((i >> 2) & 7) * 255 / 7),
                              static_cast<BYTE>(((i >> 5) & 7) * 255 / 7), 0});
  }
  return palette;
}

}  // namespace

int GetDIBits(HDC, HBITMAP handle, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info, UINT usage) {
  auto bitmap = BitmapFromHandle(handle);
  if (!bitmap || !info || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biBitCount == 0) {
    // Asked for the bitmap's own format.
    h.biWidth = bitmap->Width();
    h.biHeight = bitmap->TopDown() && bitmap->IsDibSection() ? -bitmap->Height() : bitmap->Height();
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bitmap->Format().Bpp());
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(PixelFormat::StrideFor(bitmap->Width(), h.biBitCount) * bitmap->Height());
    if (!bits) return 1;
  }
  int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return 0;
  if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return 0;
  int width = bitmap->Width(), height = bitmap->Height();
  int stride = PixelFormat::StrideFor(width, bpp);
  h.biWidth = width;
  h.biHeight = h.biHeight < 0 ? -height : height;
  h.biPlanes = 1;
  h.biSizeImage = static_cast<DWORD>(stride * height);
  std::vector<RGBQUAD> palette;
  if (bpp <= 8) {
    palette = bitmap->Format().Bpp() == bpp ? bitmap->Format().Palette() : DefaultPalette(bpp);
    palette.resize(1u << bpp, RGBQUAD{0, 0, 0, 0});
    if (usage == DIB_RGB_COLORS) std::memcpy(info->bmiColors, palette.data(), palette.size() * sizeof(RGBQUAD));
    h.biClrUsed = 0;
  }
  if (!bits) return static_cast<int>(height);
  const DWORD* masks = h.biCompression == BI_BITFIELDS
                           ? reinterpret_cast<const DWORD*>(reinterpret_cast<const BYTE*>(info) + h.biSize)
                           : nullptr;
  PixelFormat out(bpp, palette, masks);
  bool topDown = h.biHeight < 0;
  if (start >= static_cast<UINT>(height)) return 0;
  UINT count = std::min<UINT>(lines, static_cast<UINT>(height) - start);
  bitmap->Load(RECT{0, 0, width, height});
  cairo_surface_flush(bitmap->View());
  for (UINT i = 0; i < count; ++i) {
    // Scan line `start + i` of the DIB, in its own row order.
    int dibRow = static_cast<int>(start + i);
    int y = topDown ? dibRow : height - 1 - dibRow;
    out.Encode(bitmap->ViewRow(y), 0, width, static_cast<BYTE*>(bits) + size_t(i) * stride);
  }
  return static_cast<int>(count);
}

int SetDIBits(HDC, HBITMAP handle, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  auto bitmap = BitmapFromHandle(handle);
  PixelFormat in;
  if (!bitmap || !bits || !PixelFormat::FromInfo(info, usage, &in)) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biWidth != bitmap->Width() || h.biHeight == INT32_MIN) return 0;
  int height = std::abs(h.biHeight);
  bool topDown = h.biHeight < 0;
  int stride = PixelFormat::StrideFor(h.biWidth, h.biBitCount);
  UINT count = std::min<UINT>(lines, start < UINT(height) ? UINT(height) - start : 0);
  int width = bitmap->Width();
  bitmap->Load(RECT{0, 0, width, bitmap->Height()});
  cairo_surface_flush(bitmap->View());
  for (UINT i = 0; i < count; ++i) {
    int dibRow = static_cast<int>(start + i);
    int y = topDown ? dibRow : height - 1 - dibRow;
    if (y < 0 || y >= bitmap->Height()) continue;
    in.Decode(static_cast<const BYTE*>(bits) + size_t(i) * stride, 0, width, bitmap->ViewRow(y));
  }
  cairo_surface_mark_dirty(bitmap->View());
  bitmap->Save(RECT{0, 0, width, bitmap->Height()});
  return static_cast<int>(count);
}

int StretchDIBits(HDC dc, int x, int y, int width, int height, int xSrc, int ySrc, int widthSrc, int heightSrc,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  auto dst = DcFromHandle(dc);
  auto src = BitmapFromDib(bits, info, usage);
  if (!dst || !src) return 0;
  // For bottom-up DIBs the source origin counts from the bottom row.
  int top = src->TopDown() ? ySrc : src->Height() - ySrc - heightSrc;
  bool ok = WithRop(*dst, rop, [&](auto op) {
    return Transfer(*dst, Extent{x, y, width, height}, *src, nullptr, Extent{xSrc, top, widthSrc, heightSrc},
                    dst->state.stretchMode == HALFTONE, op);
  });
  return ok ? std::abs(heightSrc) : 0;
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) {
  if (!info || startScan != 0 || lines < UINT(std::abs(info->bmiHeader.biHeight))) return 0;
  int copied = StretchDIBits(dc, x, y, int(width), int(height), xSrc, ySrc, int(width), int(height), bits, info,
                             usage, SRCCOPY);
  return copied ? int(lines) : 0;
}

namespace {

std::shared_ptr<BitmapObject> IndexedBitmapOf(HDC handle) {
  auto dc = DcFromHandle(handle);
  if (!dc || dc->kind != DcObject::Kind::Memory || !dc->state.bitmap) return nullptr;
  auto bitmap = dc->state.bitmap;
  return bitmap->IsDibSection() && bitmap->Format().Bpp() <= 8 ? bitmap : nullptr;
}

}  // namespace

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
  auto bitmap = IndexedBitmapOf(dc);
  if (!bitmap || !colors) return 0;
  const auto& palette = bitmap->Format().Palette();
  UINT n = 0;
  for (; n < count && start + n < palette.size(); ++n) colors[n] = palette[start + n];
  return n;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
  auto bitmap = IndexedBitmapOf(dc);
  if (!bitmap || !colors) return 0;
  std::vector<RGBQUAD> palette = bitmap->Format().Palette();
  UINT n = 0;
  for (; n < count && start + n < palette.size(); ++n) palette[start + n] = colors[n];
  bitmap->MutableFormat().SetPalette(std::move(palette));
  return n;
}

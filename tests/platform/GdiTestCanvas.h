#pragma once
// A memory DC over a DIB section, for pixel checks in the GDI tests.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/WindowSurfaces.h"

namespace vqtest {

struct GdiCanvas {
  // A DIB section of the given depth (palette grey levels for <= 8 bits)
  // and row order, filled with `fill`.
  explicit GdiCanvas(int width, int height, COLORREF fill = RGB(255, 255, 255), int bpp = 32, bool topDown = true)
      : width(width), height(height), bpp(bpp), topDown(topDown) {
    std::vector<BYTE> buffer(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(buffer.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = topDown ? -height : height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = static_cast<WORD>(bpp);
    info->bmiHeader.biCompression = BI_RGB;
    if (bpp <= 8) {
      int n = 1 << bpp;
      for (int i = 0; i < n; ++i) {
        BYTE g = static_cast<BYTE>(i * 255 / (n - 1));
        info->bmiColors[i] = RGBQUAD{g, g, g, 0};
      }
    }
    bitmap = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
    Fill(fill);
  }
  ~GdiCanvas() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  GdiCanvas(const GdiCanvas&) = delete;
  GdiCanvas& operator=(const GdiCanvas&) = delete;

  void Fill(COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
  }
  // 32-bit top-down canvases are read from their store, whatever the DC's
  // clip region; others through GetPixel.
  COLORREF At(int x, int y) const {
    if (bpp != 32 || !topDown) return GetPixel(dc, x, y);
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    uint32_t p = static_cast<const uint32_t*>(bits)[size_t(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  int CountOther(COLORREF color) const { return width * height - Count(color); }
  int Count(COLORREF color, RECT r) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += At(x, y) == color;
    return n;
  }
  int Count(COLORREF color) const { return Count(color, RECT{0, 0, width, height}); }
  // Bounding box of the pixels that differ from `background`.
  RECT InkBox(COLORREF background) const {
    RECT box{width, height, -1, -1};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (At(x, y) != background) {
          box.left = std::min<LONG>(box.left, x);
          box.top = std::min<LONG>(box.top, y);
          box.right = std::max<LONG>(box.right, x + 1);
          box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    return box;
  }

  int width, height, bpp;
  bool topDown;
  void* bits = nullptr;
  HBITMAP bitmap = nullptr;
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
};

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A pixel of the backing surface a window owns.
inline COLORREF SurfacePixel(HWND owner, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, vqplatform::OwnedSurface(owner));
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return c;
}

}  // namespace vqtest

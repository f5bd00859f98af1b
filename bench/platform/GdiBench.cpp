// Drawing paths of the preview and the dialogs: a camera frame (bottom-up
// 24-bit DIB) stretched onto a window-sized surface, plain blits, fills and
// dialog text.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiText.h"

namespace {

struct Dib {
  Dib(int width, int height, int bpp, bool topDown) {
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, topDown ? -height : height, 1,
                                      static_cast<WORD>(bpp), BI_RGB, 0, 0, 0, 0, 0};
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
    auto* p = static_cast<BYTE*>(bits);
    size_t bytes = size_t(((width * bpp + 31) / 32) * 4) * height;
    for (size_t i = 0; i < bytes; ++i) p[i] = static_cast<BYTE>(i * 7);
  }
  ~Dib() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  HBITMAP bitmap;
  void* bits;
  HDC dc;
  HGDIOBJ old;
};

void BM_StretchFrameHalftone(benchmark::State& state) {
  Dib frame(1280, 720, 24, false), window(800, 450, 32, true);
  SetStretchBltMode(window.dc, HALFTONE);
  for (auto _ : state) StretchBlt(window.dc, 0, 0, 800, 450, frame.dc, 0, 0, 1280, 720, SRCCOPY);
}
BENCHMARK(BM_StretchFrameHalftone)->Unit(benchmark::kMillisecond);

void BM_StretchFrameNearest(benchmark::State& state) {
  Dib frame(1280, 720, 24, false), window(800, 450, 32, true);
  SetStretchBltMode(window.dc, COLORONCOLOR);
  for (auto _ : state) StretchBlt(window.dc, 0, 0, 800, 450, frame.dc, 0, 0, 1280, 720, SRCCOPY);
}
BENCHMARK(BM_StretchFrameNearest)->Unit(benchmark::kMillisecond);

void BM_BitBlt32(benchmark::State& state) {
  Dib from(1024, 768, 32, true), to(1024, 768, 32, true);
  for (auto _ : state) BitBlt(to.dc, 0, 0, 1024, 768, from.dc, 0, 0, SRCCOPY);
}
BENCHMARK(BM_BitBlt32)->Unit(benchmark::kMillisecond);

void BM_FillRect(benchmark::State& state) {
  Dib surface(1024, 768, 32, true);
  HBRUSH brush = CreateSolidBrush(RGB(243, 243, 243));
  RECT r{0, 0, 1024, 768};
  for (auto _ : state) FillRect(surface.dc, &r, brush);
  DeleteObject(brush);
}
BENCHMARK(BM_FillRect)->Unit(benchmark::kMillisecond);

void BM_DrawDialogText(benchmark::State& state) {
  Dib surface(400, 40, 32, true);
  HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg");
  SelectObject(surface.dc, font);
  SetBkMode(surface.dc, TRANSPARENT);
  RECT r{0, 0, 400, 40};
  for (auto _ : state) DrawTextW(surface.dc, L"连续拍摄 Continuous shooting", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(surface.dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}
BENCHMARK(BM_DrawDialogText)->Unit(benchmark::kMicrosecond);

}  // namespace

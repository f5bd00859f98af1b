// The layer's own backing surfaces over real windows: one per top-level
// window and per window of another thread; paint DCs; PNGs of windows.
#include <cairo.h>

#include <future>
#include <thread>

#include "platform/win/GdiPaint.h"
#include "platform/win/GdiRegion.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/SysColors.h"
#include "platform/win/Window.h"
#include "platform/win/WindowSurfaces.h"
#include "tests/platform/GdiTestCanvas.h"
#include "tests/support/TestEnv.h"

using namespace vqtest;

namespace {

LRESULT CALLBACK SurfaceTestProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return vqplatform::EraseBackground(hwnd, reinterpret_cast<HDC>(wParam)) ? 1 : 0;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

struct TestClass {
  TestClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = SurfaceTestProc;
    wc.lpszClassName = L"GdiSurfaceTestWindow";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
    RegisterClassW(&wc);
  }
  ~TestClass() { UnregisterClassW(L"GdiSurfaceTestWindow", nullptr); }
};

HWND MakeWindow(HWND parent, int x, int y, int w, int h) {
  DWORD style = (parent ? WS_CHILD : WS_POPUP) | WS_VISIBLE;
  return CreateWindowExW(0, L"GdiSurfaceTestWindow", L"", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
}

void FillClient(HWND window, COLORREF color) {
  HDC dc = GetDC(window);
  HBRUSH brush = CreateSolidBrush(color);
  RECT huge{-1000, -1000, 1000, 1000};
  FillRect(dc, &huge, brush);
  DeleteObject(brush);
  ReleaseDC(window, dc);
}

}  // namespace

TEST(GdiWindowSurface, ChildWindowsDrawIntoTheirTopLevelsSurfaceClipped) {
  TestClass cls;
  HWND top = MakeWindow(nullptr, 100, 100, 200, 100);
  HWND child = MakeWindow(top, 20, 30, 50, 40);
  HWND overhanging = MakeWindow(top, 180, 80, 50, 50);
  ASSERT_TRUE(top && child && overhanging);
  EXPECT_EQ(vqplatform::SurfaceOwner(child), top);
  EXPECT_EQ(vqplatform::OwnedSurface(child), nullptr);
  FillClient(child, kRed);
  EXPECT_EQ(SurfacePixel(top, 20, 30), kRed);
  EXPECT_EQ(SurfacePixel(top, 69, 69), kRed);
  EXPECT_EQ(SurfacePixel(top, 70, 69), kWhite);
  EXPECT_EQ(SurfacePixel(top, 19, 30), kWhite);
  FillClient(overhanging, kBlue);  // only the part inside the parent
  EXPECT_EQ(SurfacePixel(top, 199, 99), kBlue);
  BITMAP bm{};
  GetObject(vqplatform::OwnedSurface(top), sizeof(bm), &bm);
  EXPECT_EQ(bm.bmWidth, 200);
  // The surface follows the window's size and keeps what still fits.
  MoveWindow(top, 100, 100, 120, 80, FALSE);
  GetObject(vqplatform::OwnedSurface(top), sizeof(bm), &bm);
  EXPECT_EQ(bm.bmWidth, 120);
  EXPECT_EQ(SurfacePixel(top, 20, 30), kRed);
  DestroyWindow(top);
}

TEST(GdiWindowSurface, PaintDcCoversTheUpdateRectangleAndErases) {
  TestClass cls;
  HWND top = MakeWindow(nullptr, 0, 0, 100, 60);
  FillClient(top, kBlack);
  ValidateRect(top, nullptr);  // a new window starts invalid
  RECT update{10, 10, 30, 20};
  InvalidateRect(top, &update, TRUE);
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(top, &ps);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(ps.rcPaint.left, 10);
  EXPECT_EQ(ps.rcPaint.bottom, 20);
  EXPECT_FALSE(ps.fErase);  // the window procedure erased
  EXPECT_EQ(SurfacePixel(top, 10, 10), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(SurfacePixel(top, 30, 10), kBlack);  // outside the update rectangle
  RECT all{0, 0, 100, 60};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EndPaint(top, &ps);
  EXPECT_EQ(SurfacePixel(top, 29, 19), kWhite);
  EXPECT_EQ(SurfacePixel(top, 30, 19), kBlack);
  RECT r;
  EXPECT_FALSE(GetUpdateRect(top, &r, FALSE));  // validated
  DestroyWindow(top);
}

TEST(GdiWindowSurface, WindowOfAnotherThreadHasItsOwnSurfaceAndJoinsThePng) {
  TestClass cls;
  HWND top = MakeWindow(nullptr, 0, 0, 80, 60);
  FillClient(top, kRed);
  std::promise<HWND> created;
  std::promise<void> done;
  std::thread other([&] {
    HWND preview = MakeWindow(top, 10, 20, 30, 20);
    FillClient(preview, kBlue);
    created.set_value(preview);
    done.get_future().wait();
    DestroyWindow(preview);
  });
  HWND preview = created.get_future().get();
  EXPECT_EQ(vqplatform::SurfaceOwner(preview), preview);
  EXPECT_EQ(SurfacePixel(top, 15, 25), kRed);  // not drawn into the main surface

  std::string path = TempPath("composite.png").string();
  ASSERT_TRUE(vqplatform::SaveWindowAsPng(top, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  auto* data = cairo_image_surface_get_data(png);
  int stride = cairo_image_surface_get_stride(png);
  auto pixel = [&](int x, int y) { return *reinterpret_cast<uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF; };
  EXPECT_EQ(pixel(15, 25), 0x0000FFu);
  EXPECT_EQ(pixel(5, 5), 0xFF0000u);
  EXPECT_EQ(pixel(39, 39), 0x0000FFu);
  EXPECT_EQ(pixel(40, 39), 0xFF0000u);
  EXPECT_EQ(pixel(39, 40), 0xFF0000u);
  cairo_surface_destroy(png);
  done.set_value();
  other.join();
  DestroyWindow(top);
}

TEST(GdiWindowSurface, WindowRegionShapesWhatTheWindowDraws) {
  TestClass cls;
  HWND top = MakeWindow(nullptr, 0, 0, 60, 60);
  HWND button = MakeWindow(top, 10, 10, 40, 30);
  FillClient(top, kWhite);
  ASSERT_TRUE(SetWindowRgn(button, CreateRoundRectRgn(0, 0, 40, 30, 12, 12), FALSE));
  FillClient(button, kBlue);
  EXPECT_EQ(SurfacePixel(top, 10, 10), kWhite);  // the cut corner shows the parent
  EXPECT_EQ(SurfacePixel(top, 30, 25), kBlue);
  EXPECT_EQ(SurfacePixel(top, 10, 25), kBlue);
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(button, copy), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(copy, 0, 0));
  SetWindowRgn(button, nullptr, FALSE);
  EXPECT_EQ(GetWindowRgn(button, copy), ERROR);
  FillClient(button, kRed);
  EXPECT_EQ(SurfacePixel(top, 10, 10), kRed);
  DeleteObject(copy);
  DestroyWindow(top);
}

// Window DCs over backing surfaces through the surface seam, PNG output.
#include <cairo.h>

#include "platform/win/GdiRegion.h"
#include "platform/win/GdiSurface.h"
#include "tests/platform/GdiTestCanvas.h"
#include "tests/support/TestEnv.h"

using namespace vqtest;

namespace {

// A window layer stand-in: one 100 x 80 surface, the window's client area
// at (10, 20) and 50 x 40 in size.
class TestProvider : public vqplatform::SurfaceProvider {
 public:
  TestProvider() : surface(vqplatform::CreateSurfaceBitmap(100, 80)) {}
  ~TestProvider() override { DeleteObject(surface); }
  bool SurfaceFor(HWND window, bool client, vqplatform::WindowSurface* out) override {
    if (window != kWindow) return false;
    out->bitmap = surface;
    out->origin = client ? POINT{10, 20} : POINT{5, 15};
    out->visible = client ? RECT{0, 0, 50, 40} : RECT{0, 0, 60, 50};
    return true;
  }
  void SurfaceDrawn(HWND window, const RECT& dirty) override {
    drawnWindow = window;
    lastDirty = dirty;
  }

  static inline const HWND kWindow = reinterpret_cast<HWND>(0x1234);
  HBITMAP surface;
  HWND drawnWindow = nullptr;
  RECT lastDirty{0, 0, 0, 0};
};

// Pixel of a bitmap through a memory DC.
COLORREF PixelOf(HBITMAP bitmap, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return c;
}

struct ProviderScope {
  explicit ProviderScope(vqplatform::SurfaceProvider* p) : previous(vqplatform::SetSurfaceProvider(p)) {}
  ~ProviderScope() { vqplatform::SetSurfaceProvider(previous); }
  vqplatform::SurfaceProvider* previous;
};

}  // namespace

TEST(GdiSurface, WindowDcDrawsIntoTheSurfaceAtTheWindowsPlace) {
  TestProvider provider;
  ProviderScope scope(&provider);
  HDC dc = GetDC(TestProvider::kWindow);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(WindowFromDC(dc), TestProvider::kWindow);
  RECT everything{-100, -100, 200, 200};
  FillRect(dc, &everything, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(ReleaseDC(TestProvider::kWindow, dc), 1);
  // Only the client area changed, at its place in the surface.
  EXPECT_EQ(PixelOf(provider.surface, 10, 20), kBlack);
  EXPECT_EQ(PixelOf(provider.surface, 59, 59), kBlack);
  EXPECT_EQ(PixelOf(provider.surface, 60, 59), kWhite);
  EXPECT_EQ(PixelOf(provider.surface, 9, 20), kWhite);
  EXPECT_EQ(provider.drawnWindow, TestProvider::kWindow);
  EXPECT_EQ(provider.lastDirty.left, 10);
  EXPECT_EQ(provider.lastDirty.bottom, 60);
  EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);  // released
}

TEST(GdiSurface, PaintClipAndWholeWindowDcs) {
  TestProvider provider;
  ProviderScope scope(&provider);
  HRGN update = CreateRectRgn(0, 0, 5, 5);
  HDC dc = vqplatform::CreateWindowSurfaceDC(TestProvider::kWindow, true, update);
  DeleteObject(update);
  RECT r{0, 0, 50, 40};
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(TestProvider::kWindow, dc);
  EXPECT_EQ(PixelOf(provider.surface, 14, 24), kBlack);
  EXPECT_EQ(PixelOf(provider.surface, 15, 24), kWhite);
  HDC whole = GetWindowDC(TestProvider::kWindow);
  SetPixel(whole, 0, 0, kRed);
  ReleaseDC(TestProvider::kWindow, whole);
  EXPECT_EQ(PixelOf(provider.surface, 5, 15), kRed);
  EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x999)), nullptr);
}

TEST(GdiSurface, WithoutProviderOnlyTheScreenDcExists) {
  ProviderScope scope(nullptr);
  EXPECT_EQ(GetDC(TestProvider::kWindow), nullptr);
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
  vqplatform::SetScreenSize(1280, 800);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1280);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 800);
  vqplatform::SetScreenSize(1920, 1080);
  // A bitmap compatible with the screen is colour; drawing on the screen DC
  // itself goes nowhere and fails nothing.
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 4);
  BITMAP bm{};
  GetObject(bitmap, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  EXPECT_TRUE(Rectangle(screen, 0, 0, 10, 10));
  HDC memory = CreateCompatibleDC(screen);
  EXPECT_TRUE(BitBlt(screen, 0, 0, 4, 4, memory, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(memory, 0, 0, 4, 4, screen, 0, 0, SRCCOPY));  // nothing to read from
  // A DC's maker may give it its own capabilities (a printer page).
  EXPECT_TRUE(vqplatform::SetDeviceCapsValue(memory, LOGPIXELSX, 600));
  EXPECT_EQ(GetDeviceCaps(memory, LOGPIXELSX), 600);
  EXPECT_EQ(GetDeviceCaps(memory, LOGPIXELSY), 96);
  EXPECT_FALSE(vqplatform::SetDeviceCapsValue(nullptr, LOGPIXELSX, 600));
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
}

TEST(GdiSurface, PngFilesHoldTheBitmapsPixels) {
  GdiCanvas c(16, 8, kWhite, 8, false);
  RECT r{0, 0, 8, 8};
  FillRect(c.dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  std::string path = TempPath("canvas.png").string();
  ASSERT_TRUE(vqplatform::SaveBitmapAsPng(c.bitmap, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(png), 16);
  EXPECT_EQ(cairo_image_surface_get_height(png), 8);
  auto* data = cairo_image_surface_get_data(png);
  int stride = cairo_image_surface_get_stride(png);
  auto pixel = [&](int x, int y) { return *reinterpret_cast<uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF; };
  EXPECT_EQ(pixel(0, 7), 0u);
  EXPECT_EQ(pixel(15, 0), 0xFFFFFFu);
  cairo_surface_destroy(png);
  EXPECT_FALSE(vqplatform::SaveBitmapAsPng(c.bitmap, TempPath("no/such/folder/x.png").string()));
  EXPECT_FALSE(vqplatform::SaveBitmapAsPng(nullptr, path));
}

TEST(GdiSurface, AnyWindowSavesAsPng) {
  TestProvider provider;
  ProviderScope scope(&provider);
  HDC dc = GetDC(TestProvider::kWindow);
  SetPixel(dc, 0, 0, kBlue);
  ReleaseDC(TestProvider::kWindow, dc);
  std::string path = TempPath("window.png").string();
  ASSERT_TRUE(vqplatform::SaveWindowAsPng(TestProvider::kWindow, path));
  cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
  EXPECT_EQ(cairo_image_surface_get_width(png), 60);  // the whole window
  EXPECT_EQ(cairo_image_surface_get_height(png), 50);
  auto* data = cairo_image_surface_get_data(png);
  int stride = cairo_image_surface_get_stride(png);
  // Client (0, 0) is window (5, 5).
  EXPECT_EQ(*reinterpret_cast<uint32_t*>(data + 5 * stride + 5 * 4) & 0xFFFFFF, 0x0000FFu);
  cairo_surface_destroy(png);
}

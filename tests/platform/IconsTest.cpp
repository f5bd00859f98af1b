// Icons: the standard ones, resources registered or read from the icons
// folder, drawing with transparency, the icons a window shows, and static
// controls that show an icon or keep a cursor.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/display/Cursors.h"
#include "platform/mfc/CWinApp.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/win/Controls.h"
#include "platform/win/Icons.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "platform/win/WindowSurfaces.h"
#include "tests/platform/GdiTestCanvas.h"
#include "tests/support/TestEnv.h"

namespace {

using vqplatform::IconPixels;
using vqtest::GdiCanvas;

uint32_t PixelAt(const IconPixels& icon, int x, int y) { return icon.argb[size_t(y) * icon.width + x]; }

// Left half opaque red, right half blue at half transparency, bottom row
// fully transparent.
IconPixels TestPicture() {
  IconPixels p;
  p.width = p.height = 32;
  p.argb.resize(32 * 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) p.argb[y * 32 + x] = y == 31 ? 0 : (x < 16 ? 0xFFFF0000u : 0x800000FFu);
  return p;
}

TEST(Icons, StandardIconsAreSharedPicturesOfTheirKind) {
  HICON error = LoadIconW(nullptr, IDI_ERROR);
  EXPECT_EQ(LoadIconW(nullptr, IDI_HAND), error);
  IconPixels pixels;
  ASSERT_TRUE(vqplatform::GetIconPixels(error, &pixels));
  EXPECT_EQ(pixels.width * pixels.height, 32 * 32);
  EXPECT_EQ(PixelAt(pixels, 0, 0) >> 24, 0u) << "corners are transparent";
  EXPECT_EQ(PixelAt(pixels, 16, 4) & 0xFFC0C0C0u, 0xFFC00000u) << "a red disc";
  ASSERT_TRUE(vqplatform::GetIconPixels(LoadIconW(nullptr, IDI_WARNING), &pixels));
  EXPECT_EQ(PixelAt(pixels, 8, 26) & 0xFFC0C0C0u, 0xFFC0C000u) << "a yellow triangle";
  // Shared icons survive DestroyIcon; unknown ones and cursors are no icons.
  EXPECT_TRUE(DestroyIcon(error));
  EXPECT_TRUE(vqplatform::GetIconPixels(error, nullptr));
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(31999)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_FALSE(vqplatform::GetIconPixels(LoadCursorW(nullptr, IDC_ARROW), nullptr));
}

TEST(Icons, ResourcesComeRegisteredOrFromTheIconsFolderWithTheirTransparency) {
  vqplatform::RegisterIconResource(4001, TestPicture());
  HICON registered = LoadIconW(nullptr, MAKEINTRESOURCEW(4001));
  IconPixels pixels;
  ASSERT_TRUE(vqplatform::GetIconPixels(registered, &pixels));
  EXPECT_EQ(pixels.argb, TestPicture().argb);
  vqplatform::RegisterIconResource(4001, IconPixels{});

  // A PNG beside the program, written with half-transparent pixels.
  std::filesystem::path folder = std::filesystem::path(std::getenv("VQ_PROGRAM_DIR")) / "icons";
  std::filesystem::create_directories(folder);
  cairo_surface_t* png = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 24, 16);
  cairo_t* cr = cairo_create(png);
  cairo_set_source_rgba(cr, 0, 0.5, 1, 0.5);
  cairo_paint(cr);
  cairo_destroy(cr);
  ASSERT_EQ(cairo_surface_write_to_png(png, (folder / "4002.png").c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(png);
  HICON fromFile = LoadIconW(nullptr, MAKEINTRESOURCEW(4002));
  ASSERT_TRUE(vqplatform::GetIconPixels(fromFile, &pixels));
  EXPECT_EQ(pixels.width, 24);
  EXPECT_EQ(pixels.height, 16);
  uint32_t p = PixelAt(pixels, 5, 5);
  EXPECT_NEAR(static_cast<int>(p >> 24), 128, 1);
  EXPECT_NEAR(static_cast<int>((p >> 8) & 0xFF), 128, 2) << "colours are not premultiplied";
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 255, 2);
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(4002)), fromFile);
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(4003)), nullptr);
}

TEST(Icons, DrawIconBlendsByTransparencyAndDestroyedIconsAreGone) {
  HICON icon = vqplatform::CreateIconFromPixels(TestPicture());
  ASSERT_NE(icon, nullptr);
  GdiCanvas canvas(40, 40, RGB(255, 255, 255));
  ASSERT_TRUE(DrawIcon(canvas.dc, 4, 4, icon));
  EXPECT_EQ(canvas.At(10, 10), RGB(255, 0, 0));
  COLORREF blended = canvas.At(30, 10);
  EXPECT_NEAR(GetRValue(blended), 127, 2);
  EXPECT_NEAR(GetBValue(blended), 255, 1);
  EXPECT_EQ(canvas.At(10, 35), RGB(255, 255, 255)) << "the transparent row leaves the background";
  EXPECT_EQ(canvas.At(2, 2), RGB(255, 255, 255));
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
  EXPECT_FALSE(DrawIcon(canvas.dc, 0, 0, icon));
  EXPECT_EQ(vqplatform::CreateIconFromPixels(IconPixels{}), nullptr);
}

TEST(Icons, AWindowShowsItsOwnIconsElseItsClasssIcon) {
  HICON classIcon = LoadIconW(nullptr, IDI_WINLOGO);
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"IconTestWindow";
  wc.hIcon = classIcon;
  RegisterClassW(&wc);
  CWnd window;
  ASSERT_TRUE(window.CreateEx(0, L"IconTestWindow", L"Icons", WS_OVERLAPPEDWINDOW, RECT{0, 0, 200, 100}, nullptr, 0));
  EXPECT_EQ(vqplatform::ShownWindowIcon(window, true), classIcon);
  EXPECT_EQ(window.GetIcon(TRUE), nullptr);

  CWinApp app(L"Icons");
  vqplatform::RegisterIconResource(128, TestPicture());
  HICON program = app.LoadIcon(128);
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(window.SetIcon(program, TRUE), nullptr);
  EXPECT_EQ(window.GetIcon(TRUE), program);
  EXPECT_EQ(vqplatform::ShownWindowIcon(window, true), program);
  EXPECT_EQ(vqplatform::ShownWindowIcon(window, false), program) << "the big icon stands in for the small";
  HICON small = app.LoadStandardIcon(IDI_QUESTION);
  EXPECT_EQ(window.SetIcon(small, FALSE), nullptr);
  EXPECT_EQ(vqplatform::ShownWindowIcon(window, false), small);
  EXPECT_EQ(window.SetIcon(nullptr, TRUE), program);
  EXPECT_EQ(vqplatform::ShownWindowIcon(window, true), small);
  vqplatform::RegisterIconResource(128, IconPixels{});
  window.DestroyWindow();
  UnregisterClassW(L"IconTestWindow", nullptr);
}

TEST(Icons, StaticControlsShowTheirIconAndKeepOtherImages) {
  vqplatform::RegisterStandardControls();
  HWND top = CreateWindowExW(0, WC_STATIC, L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 60, nullptr, nullptr, nullptr,
                             nullptr);
  CStatic picture;
  ASSERT_TRUE(picture.Create(L"", WS_VISIBLE | SS_ICON, RECT{10, 10, 50, 50}, CWnd::FromHandle(top), 7));
  HICON icon = vqplatform::CreateIconFromPixels(TestPicture());
  EXPECT_EQ(picture.SetIcon(icon), nullptr);
  EXPECT_EQ(picture.GetIcon(), icon);
  UpdateWindow(top);
  EXPECT_EQ(vqtest::SurfacePixel(top, 15, 15), RGB(255, 0, 0));
  // A cursor given to a static is kept and handed back.
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  EXPECT_EQ(picture.SendMessage(STM_SETIMAGE, IMAGE_CURSOR, reinterpret_cast<LPARAM>(arrow)), 0);
  EXPECT_EQ(picture.SendMessage(STM_GETIMAGE, IMAGE_CURSOR, 0), reinterpret_cast<LRESULT>(arrow));
  EXPECT_EQ(picture.SendMessage(STM_SETIMAGE, IMAGE_CURSOR, 0), reinterpret_cast<LRESULT>(arrow));
  EXPECT_EQ(picture.SendMessage(STM_GETIMAGE, IMAGE_ICON, 0), reinterpret_cast<LRESULT>(icon));
  DestroyWindow(top);
  DestroyIcon(icon);
}

}  // namespace

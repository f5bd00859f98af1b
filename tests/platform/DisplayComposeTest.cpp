// The picture the presenter puts on the screen: a top-level window's surface
// with the surfaces of its children on other threads composed in.
#include <gtest/gtest.h>

#include <cairo.h>

#include <atomic>
#include <thread>

#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Windows.h"

namespace {

LRESULT CALLBACK FillProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd, &paint);
    RECT client{};
    GetClientRect(hwnd, &client);
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    EndPaint(hwnd, &paint);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND FilledWindow(HWND parent, DWORD style, RECT r, COLORREF color) {
  static bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = FillProc;
    wc.lpszClassName = L"VqDisplayComposeFill";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  HWND hwnd = CreateWindowExW(0, L"VqDisplayComposeFill", L"", style, r.left, r.top, r.right - r.left,
                              r.bottom - r.top, parent, nullptr, nullptr, nullptr);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(color));
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);
  return hwnd;
}

uint32_t At(const vqplatform::WindowImage& image, int x, int y) { return image.pixels[size_t(y) * image.width + x]; }

TEST(DisplayCompose, ChildOfAnotherThreadIsComposedIntoItsTopLevelWindow) {
  HWND top = FilledWindow(nullptr, WS_POPUP | WS_VISIBLE, RECT{10, 20, 210, 120}, RGB(0, 0, 255));
  vqtest::DispatchQueued();
  std::atomic<bool> drawn{false}, done{false};
  std::thread other([&] {
    HWND child = FilledWindow(top, WS_CHILD | WS_VISIBLE, RECT{50, 30, 90, 60}, RGB(255, 0, 0));
    vqtest::DispatchQueued();
    drawn = true;
    while (!done) {
      vqtest::DispatchQueued();
      std::this_thread::yield();
    }
    DestroyWindow(child);
  });
  while (!drawn) vqtest::DispatchQueued();

  vqplatform::WindowImage image;
  ASSERT_TRUE(vqplatform::ComposeWindowImage(top, &image));
  EXPECT_EQ(image.width, 200);
  EXPECT_EQ(image.height, 100);
  EXPECT_EQ(At(image, 5, 5), 0x0000FFu);
  EXPECT_EQ(At(image, 50, 30), 0xFF0000u);
  EXPECT_EQ(At(image, 89, 59), 0xFF0000u);
  EXPECT_EQ(At(image, 90, 59), 0x0000FFu);

  // The same picture as the one saved for tests.
  std::string png = vqtest::TempPath("top.png").string();
  ASSERT_TRUE(vqplatform::SaveWindowAsPng(top, png));
  cairo_surface_t* saved = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_image_surface_get_width(saved), image.width);
  const unsigned char* data = cairo_image_surface_get_data(saved);
  int stride = cairo_image_surface_get_stride(saved);
  size_t differences = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      differences += (reinterpret_cast<const uint32_t*>(data + size_t(y) * stride)[x] & 0xFFFFFF) != At(image, x, y);
  cairo_surface_destroy(saved);
  EXPECT_EQ(differences, 0u);

  done = true;
  other.join();
  DestroyWindow(top);
}

TEST(DisplayCompose, NothingForWhatIsNoWindow) {
  vqplatform::WindowImage image;
  EXPECT_FALSE(vqplatform::ComposeWindowImage(nullptr, &image));
  EXPECT_FALSE(vqplatform::ComposeWindowImage(reinterpret_cast<HWND>(0x1234), &image));
}

}  // namespace

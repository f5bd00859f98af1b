// Layered window attributes and how a layered pixel shows over the screen.
#include "platform/win/GdiLayered.h"

#include <gtest/gtest.h>

#include "platform/win/Window.h"

namespace {

TEST(GdiLayered, OnlyLayeredWindowsTakeAttributes) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.lpszClassName = L"VqLayeredTest";
  RegisterClassW(&windowClass);
  HWND plain = CreateWindowExW(0, L"VqLayeredTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  HWND layered =
      CreateWindowExW(WS_EX_LAYERED, L"VqLayeredTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(layered, nullptr);
  EXPECT_FALSE(SetLayeredWindowAttributes(plain, RGB(1, 2, 3), 10, LWA_ALPHA));
  EXPECT_FALSE(GetLayeredWindowAttributes(plain, nullptr, nullptr, nullptr));
  EXPECT_EQ(vqplatform::ComposeLayeredPixel(plain, RGB(9, 9, 9), RGB(0, 0, 0)), RGB(9, 9, 9));

  ASSERT_TRUE(SetLayeredWindowAttributes(layered, RGB(255, 0, 255), 64, LWA_COLORKEY));
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(layered, &key, &alpha, &flags));
  EXPECT_EQ(key, RGB(255, 0, 255));
  EXPECT_EQ(alpha, 64);
  // Key only: the key shows what lies behind, the rest is opaque.
  EXPECT_EQ(vqplatform::ComposeLayeredPixel(layered, RGB(255, 0, 255), RGB(7, 7, 7)), RGB(7, 7, 7));
  EXPECT_EQ(vqplatform::ComposeLayeredPixel(layered, RGB(200, 100, 0), RGB(7, 7, 7)), RGB(200, 100, 0));
  // Key and alpha.
  SetLayeredWindowAttributes(layered, RGB(255, 0, 255), 128, LWA_COLORKEY | LWA_ALPHA);
  EXPECT_EQ(vqplatform::ComposeLayeredPixel(layered, RGB(255, 255, 255), RGB(0, 0, 0)), RGB(128, 128, 128));
  DestroyWindow(plain);
  DestroyWindow(layered);
}

}  // namespace

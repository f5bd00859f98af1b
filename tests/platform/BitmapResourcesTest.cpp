// Bitmap resources by id: registered pictures, PNG files of the bitmap
// folder, and ids that have neither.
#include "platform/win/BitmapResources.h"

#include <gtest/gtest.h>
#include <cairo.h>

#include <cstdlib>
#include <filesystem>

#include "platform/win/DialogTemplate.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/LastError.h"
#include "tests/support/TestEnv.h"

namespace {

COLORREF PixelOfBitmap(HBITMAP bitmap, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  COLORREF colour = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return colour;
}

TEST(BitmapResources, RegisteredPicturesLoadAsNewBitmaps) {
  vqplatform::BitmapPixels pixels{3, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}};
  vqplatform::RegisterBitmapResource(7001, pixels);
  HBITMAP first = LoadBitmapW(nullptr, MAKEINTRESOURCEW(7001));
  HBITMAP second = LoadBitmapW(nullptr, MAKEINTRESOURCEW(7001));
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, second);
  BITMAP info{};
  GetObjectW(first, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 3);
  EXPECT_EQ(info.bmHeight, 2);
  EXPECT_EQ(PixelOfBitmap(first, 0, 0), RGB(3, 2, 1));
  EXPECT_EQ(PixelOfBitmap(first, 2, 1), RGB(18, 17, 16));
  DeleteObject(first);
  DeleteObject(second);
  vqplatform::RegisterBitmapResource(7001, {});
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(7001)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  // Pixels that do not match their size are refused.
  vqplatform::RegisterBitmapResource(7002, vqplatform::BitmapPixels{4, 4, {1, 2, 3}});
  EXPECT_FALSE(vqplatform::FindBitmapResource(7002, nullptr));
}

TEST(BitmapResources, PngFilesOfTheBitmapFolderByTheirId) {
  std::filesystem::path folder = vqtest::TempPath("bitmaps");
  std::filesystem::create_directories(folder);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 5, 4);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_write_to_png(surface, (folder / "7010.png").c_str());
  cairo_surface_destroy(surface);
  vqtest::WriteFile(folder / "7011.png", "not a png");
  setenv("VQ_BITMAP_DIR", folder.c_str(), 1);
  HBITMAP bitmap = LoadBitmapW(nullptr, MAKEINTRESOURCEW(7010));
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(PixelOfBitmap(bitmap, 4, 3), RGB(255, 0, 0));
  DeleteObject(bitmap);
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(7011)), nullptr);
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(7012)), nullptr);
  EXPECT_EQ(LoadBitmapW(nullptr, L"named"), nullptr);
  unsetenv("VQ_BITMAP_DIR");
  // Without the variable, the folder beside the program.
  EXPECT_EQ(vqplatform::BitmapResourceFolder().substr(vqplatform::BitmapResourceFolder().size() - 8), L"/bitmaps");
}

}  // namespace

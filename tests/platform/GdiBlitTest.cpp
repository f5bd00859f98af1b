// Blits, stretches, transparent and alpha blends.
#include <cstdlib>

#include "tests/platform/GdiTestCanvas.h"

using namespace vqtest;

namespace {

// A 4 x 4 source with a distinct colour per pixel.
void Paint4x4(GdiCanvas& c) {
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) SetPixel(c.dc, x, y, RGB(x * 60, y * 60, 7));
}

}  // namespace

TEST(GdiBlit, BitBltCopiesAndClipsAtTheDestination) {
  GdiCanvas src(4, 4);
  Paint4x4(src);
  GdiCanvas dst(6, 6);
  ASSERT_TRUE(BitBlt(dst.dc, 4, 4, 4, 4, src.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(dst.At(4, 4), RGB(0, 0, 7));
  EXPECT_EQ(dst.At(5, 5), RGB(60, 60, 7));
  EXPECT_EQ(dst.Count(kWhite), 36 - 4);
  ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 2, 2, src.dc, 2, 1, SRCCOPY));
  EXPECT_EQ(dst.At(0, 0), RGB(120, 60, 7));
  EXPECT_EQ(dst.At(1, 1), RGB(180, 120, 7));
}

TEST(GdiBlit, RasterOperationsCombineBits) {
  GdiCanvas src(1, 1, RGB(0xF0, 0x0F, 0x55));
  GdiCanvas dst(1, 1, RGB(0xFF, 0x00, 0x0F));
  BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, SRCAND);
  EXPECT_EQ(dst.At(0, 0), RGB(0xF0, 0x00, 0x05));
  BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, SRCPAINT);
  EXPECT_EQ(dst.At(0, 0), RGB(0xF0, 0x0F, 0x55));
  BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, SRCINVERT);
  EXPECT_EQ(dst.At(0, 0), kBlack);
  BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, NOTSRCCOPY);
  EXPECT_EQ(dst.At(0, 0), RGB(0x0F, 0xF0, 0xAA));
  BitBlt(dst.dc, 0, 0, 1, 1, nullptr, 0, 0, WHITENESS);
  EXPECT_EQ(dst.At(0, 0), kWhite);
  EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
}

TEST(GdiBlit, NearestStretchRepeatsPixelsAndMirrors) {
  GdiCanvas src(4, 4);
  Paint4x4(src);
  GdiCanvas dst(8, 8);
  SetStretchBltMode(dst.dc, COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 8, 8, src.dc, 0, 0, 4, 4, SRCCOPY));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(dst.At(x, y), RGB((x / 2) * 60, (y / 2) * 60, 7)) << x << "," << y;
  // A negative destination width mirrors left to right.
  ASSERT_TRUE(StretchBlt(dst.dc, 4, 0, -4, 4, src.dc, 0, 0, 4, 4, SRCCOPY));
  EXPECT_EQ(dst.At(0, 0), RGB(180, 0, 7));
  EXPECT_EQ(dst.At(3, 0), RGB(0, 0, 7));
}

TEST(GdiBlit, HalftoneAveragesWhereNearestPicks) {
  GdiCanvas checker(4, 4, kBlack);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      if ((x + y) % 2) SetPixel(checker.dc, x, y, kWhite);
  GdiCanvas half(2, 2);
  SetStretchBltMode(half.dc, HALFTONE);
  StretchBlt(half.dc, 0, 0, 2, 2, checker.dc, 0, 0, 4, 4, SRCCOPY);
  BYTE grey = GetRValue(half.At(1, 1));
  EXPECT_NEAR(grey, 128, 2);
  GdiCanvas nearest(2, 2);
  SetStretchBltMode(nearest.dc, COLORONCOLOR);
  StretchBlt(nearest.dc, 0, 0, 2, 2, checker.dc, 0, 0, 4, 4, SRCCOPY);
  COLORREF c = nearest.At(1, 1);
  EXPECT_TRUE(c == kBlack || c == kWhite);
}

TEST(GdiBlit, TransparentBltSkipsTheKeyColour) {
  GdiCanvas src(3, 1, RGB(255, 0, 255));
  SetPixel(src.dc, 1, 0, kBlue);
  GdiCanvas dst(3, 1, kRed);
  ASSERT_TRUE(TransparentBlt(dst.dc, 0, 0, 3, 1, src.dc, 0, 0, 3, 1, RGB(255, 0, 255)));
  EXPECT_EQ(dst.At(0, 0), kRed);
  EXPECT_EQ(dst.At(1, 0), kBlue);
  EXPECT_EQ(dst.At(2, 0), kRed);
}

TEST(GdiBlit, AlphaBlendWithConstantAndPerPixelAlpha) {
  GdiCanvas src(2, 1, kBlack, 32, true);
  GdiCanvas dst(2, 1, kWhite);
  BLENDFUNCTION half{AC_SRC_OVER, 0, 128, 0};
  ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 2, 1, half));
  EXPECT_NEAR(GetRValue(dst.At(0, 0)), 127, 1);
  // Premultiplied: a half-transparent red is (128, 0, 0) with alpha 128.
  auto* px = static_cast<uint32_t*>(src.bits);
  px[0] = 0x80800000u;
  px[1] = 0x00000000u;  // fully transparent
  GdiCanvas under(2, 1, kBlue);
  BLENDFUNCTION perPixel{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ASSERT_TRUE(AlphaBlend(under.dc, 0, 0, 2, 1, src.dc, 0, 0, 2, 1, perPixel));
  COLORREF mixed = under.At(0, 0);
  EXPECT_NEAR(GetRValue(mixed), 128, 1);
  EXPECT_NEAR(GetBValue(mixed), 127, 1);
  EXPECT_EQ(under.At(1, 0), kBlue);
  GdiCanvas src24(1, 1, kBlack, 24);
  EXPECT_FALSE(AlphaBlend(under.dc, 0, 0, 1, 1, src24.dc, 0, 0, 1, 1, perPixel));
}

TEST(GdiBlit, StretchDIBitsCountsBottomUpSourcesFromTheBottom) {
  // A 1 x 2 bottom-up DIB: stored row 0 (bottom) red, row 1 (top) blue.
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 1, 2, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  BYTE rows[8] = {0, 0, 255, 0, 255, 0, 0, 0};
  GdiCanvas dst(1, 2);
  ASSERT_EQ(StretchDIBits(dst.dc, 0, 0, 1, 2, 0, 0, 1, 2, rows, &info, DIB_RGB_COLORS, SRCCOPY), 2);
  EXPECT_EQ(dst.At(0, 0), kBlue);
  EXPECT_EQ(dst.At(0, 1), kRed);
  // The source rectangle's y = 0 is the bottom row of a bottom-up DIB.
  GdiCanvas one(1, 1);
  StretchDIBits(one.dc, 0, 0, 1, 1, 0, 0, 1, 1, rows, &info, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(one.At(0, 0), kRed);
}

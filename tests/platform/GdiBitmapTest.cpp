// DIB sections keep their own pixel store in any depth and row order.
#include <cstring>

#include "tests/platform/GdiTestCanvas.h"

using namespace vqtest;

namespace {

// Paints the top-left 2x2 block red on a black canvas and returns the
// first stored byte of the top row and the last stored row's first byte.
struct StoreProbe {
  int bpp;
  bool topDown;
};

class GdiBitmapDepths : public ::testing::TestWithParam<StoreProbe> {};

}  // namespace

TEST_P(GdiBitmapDepths, DrawingLandsInTheStoreInItsRowOrder) {
  const StoreProbe p = GetParam();
  const int w = 8, h = 4;
  GdiCanvas c(w, h, kBlack, p.bpp, p.topDown);
  ASSERT_NE(c.bitmap, nullptr);
  RECT r{0, 0, 2, 1};
  FillRect(c.dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  int stride = ((w * p.bpp + 31) / 32) * 4;
  const BYTE* store = static_cast<const BYTE*>(c.bits);
  const BYTE* topRow = store + (p.topDown ? 0 : (h - 1) * stride);
  const BYTE* otherRow = store + (p.topDown ? (h - 1) * stride : 0);
  EXPECT_NE(topRow[0], 0) << "the top row holds the white pixels";
  EXPECT_EQ(otherRow[0], 0);
  EXPECT_EQ(c.At(1, 0), kWhite);
  EXPECT_EQ(c.At(2, 0), kBlack);
  EXPECT_EQ(c.At(0, 1), kBlack);
  BITMAP bm{};
  GetObject(c.bitmap, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, p.bpp);
  EXPECT_EQ(bm.bmWidthBytes, stride);
  EXPECT_EQ(bm.bmBits, c.bits);
}

INSTANTIATE_TEST_SUITE_P(GdiAllDepths, GdiBitmapDepths,
                         ::testing::Values(StoreProbe{1, true}, StoreProbe{1, false}, StoreProbe{4, true},
                                           StoreProbe{4, false}, StoreProbe{8, true}, StoreProbe{8, false},
                                           StoreProbe{16, false}, StoreProbe{24, true}, StoreProbe{24, false},
                                           StoreProbe{32, true}, StoreProbe{32, false}));

TEST(GdiBitmap, PaletteIndicesAreStoredForIndexedDepths) {
  GdiCanvas c(4, 2, kBlack, 8, false);
  SetPixel(c.dc, 3, 0, RGB(255, 255, 255));
  SetPixel(c.dc, 2, 0, RGB(130, 128, 126));  // nearest grey level 128
  const BYTE* top = static_cast<const BYTE*>(c.bits) + 4;  // bottom-up: row 0 is stored last
  EXPECT_EQ(top[3], 255);
  EXPECT_EQ(top[2], 128);
  EXPECT_EQ(c.At(2, 0), RGB(128, 128, 128));
}

TEST(GdiBitmap, WritesIntoTheStoreAreSeenByTheNextOperation) {
  GdiCanvas c(4, 4, kWhite, 24, false);
  BYTE* bottomRow = static_cast<BYTE*>(c.bits);  // bottom-up: row 3
  bottomRow[0] = 0x11;                           // blue
  bottomRow[1] = 0x22;                           // green
  bottomRow[2] = 0x33;                           // red
  EXPECT_EQ(c.At(0, 3), RGB(0x33, 0x22, 0x11));
  GdiCanvas copy(4, 4);
  BitBlt(copy.dc, 0, 0, 4, 4, c.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(copy.At(0, 3), RGB(0x33, 0x22, 0x11));
}

TEST(GdiBitmap, FourthByteOfThirtyTwoBitPixelsIsNotAlpha) {
  GdiCanvas src(2, 1, kBlack, 32, true);
  auto* px = static_cast<uint32_t*>(src.bits);
  px[0] = 0x00FF8000u;  // "alpha" 0: still an opaque orange pixel
  px[1] = 0x7F0000FFu;
  GdiCanvas dst24(2, 1, kWhite, 24, true);
  BitBlt(dst24.dc, 0, 0, 2, 1, src.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(dst24.At(0, 0), RGB(255, 128, 0));
  EXPECT_EQ(dst24.At(1, 0), RGB(0, 0, 255));
  GdiCanvas dst32(2, 1, kWhite, 32, true);
  BitBlt(dst32.dc, 0, 0, 2, 1, src.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(static_cast<uint32_t*>(dst32.bits)[1], 0x7F0000FFu);  // SRCCOPY replaces all four bytes
}

TEST(GdiBitmap, GetAndSetDIBitsConvertBetweenLayouts) {
  GdiCanvas c(3, 2, kWhite, 32, true);
  SetPixel(c.dc, 0, 0, kRed);
  SetPixel(c.dc, 2, 1, kBlue);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 3;
  info.bmiHeader.biHeight = 2;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  std::vector<BYTE> rows(2 * 12);
  ASSERT_EQ(GetDIBits(c.dc, c.bitmap, 0, 2, rows.data(), &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(info.bmiHeader.biSizeImage, 24u);
  // Scan line 0 is the bottom row: blue at x = 2.
  EXPECT_EQ(rows[6], 255);
  EXPECT_EQ(rows[8], 0);
  // Scan line 1 is the top row: red at x = 0.
  EXPECT_EQ(rows[12 + 2], 255);
  GdiCanvas back(3, 2, kBlack, 8, true);
  ASSERT_EQ(SetDIBits(back.dc, back.bitmap, 0, 2, rows.data(), &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(back.At(1, 0), kWhite);  // grey palette: white stays white
}

TEST(GdiBitmap, BadFormatsAndSizesAreRefused) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 0;
  info.bmiHeader.biHeight = 10;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = reinterpret_cast<void*>(1);
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  info.bmiHeader.biWidth = 10;
  info.bmiHeader.biBitCount = 7;
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  info.bmiHeader.biBitCount = 8;
  info.bmiHeader.biCompression = BI_RLE8;
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biBitCount = 24;  // no colour table follows this header
  info.bmiHeader.biHeight = -100000;
  EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(nullptr, -1, 5), nullptr);
}

TEST(GdiBitmap, MonochromeBlitsUseTheDcColours) {
  // Colour to monochrome: the source DC's background colour becomes white.
  GdiCanvas colour(4, 1, kRed);
  SetPixel(colour.dc, 1, 0, kBlue);
  SetBkColor(colour.dc, kRed);
  HBITMAP mask = CreateBitmap(4, 1, 1, 1, nullptr);
  HDC maskDc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(maskDc, mask);
  BitBlt(maskDc, 0, 0, 4, 1, colour.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(maskDc, 0, 0), kWhite);
  EXPECT_EQ(GetPixel(maskDc, 1, 0), kBlack);
  // Monochrome to colour: 0 takes the text colour, 1 the background colour.
  GdiCanvas out(4, 1);
  SetTextColor(out.dc, RGB(1, 2, 3));
  SetBkColor(out.dc, RGB(4, 5, 6));
  BitBlt(out.dc, 0, 0, 4, 1, maskDc, 0, 0, SRCCOPY);
  EXPECT_EQ(out.At(0, 0), RGB(4, 5, 6));
  EXPECT_EQ(out.At(1, 0), RGB(1, 2, 3));
  // So does a bitmap compatible with a monochrome DC, stretched.
  HBITMAP compatible = CreateCompatibleBitmap(maskDc, 2, 1);
  HDC compatibleDc = CreateCompatibleDC(nullptr);
  HGDIOBJ oldCompatible = SelectObject(compatibleDc, compatible);
  BitBlt(compatibleDc, 0, 0, 2, 1, maskDc, 0, 0, SRCCOPY);
  ASSERT_TRUE(StretchBlt(out.dc, 0, 0, 4, 1, compatibleDc, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(out.At(1, 0), RGB(4, 5, 6));
  EXPECT_EQ(out.At(2, 0), RGB(1, 2, 3));
  SelectObject(compatibleDc, oldCompatible);
  DeleteDC(compatibleDc);
  DeleteObject(compatible);
  SelectObject(maskDc, old);
  DeleteDC(maskDc);
  DeleteObject(mask);
}

TEST(GdiBitmap, IndexedDibSectionsBlitThroughTheirOwnColourTable) {
  // A white-is-zero 1-bit page: table {white, black}, pixels 0 1 0 1.
  std::vector<BYTE> buffer(sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(buffer.data());
  info->bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, -1, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
  info->bmiColors[0] = RGBQUAD{255, 255, 255, 0};
  info->bmiColors[1] = RGBQUAD{0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP page = CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(page, nullptr);
  static_cast<BYTE*>(bits)[0] = 0x50;
  HDC pageDc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(pageDc, page);
  // The DC colours play no part for a DIB section.
  GdiCanvas out(4, 1, kRed, 24);
  SetTextColor(out.dc, RGB(1, 2, 3));
  SetBkColor(out.dc, RGB(4, 5, 6));
  ASSERT_TRUE(BitBlt(out.dc, 0, 0, 4, 1, pageDc, 0, 0, SRCCOPY));
  EXPECT_EQ(out.At(0, 0), kWhite);
  EXPECT_EQ(out.At(1, 0), kBlack);
  EXPECT_EQ(out.At(2, 0), kWhite);
  GdiCanvas stretched(8, 2, kRed);
  SetTextColor(stretched.dc, RGB(1, 2, 3));
  SetBkColor(stretched.dc, RGB(4, 5, 6));
  ASSERT_TRUE(StretchBlt(stretched.dc, 0, 0, 8, 2, pageDc, 0, 0, 4, 1, SRCCOPY));
  EXPECT_EQ(stretched.Count(kWhite), 8);
  EXPECT_EQ(stretched.Count(kBlack), 8);
  EXPECT_EQ(stretched.At(0, 1), kWhite);
  EXPECT_EQ(stretched.At(3, 1), kBlack);
  // A colour table other than black and white is used as it is.
  RGBQUAD table[2] = {RGBQUAD{0, 0, 255, 0}, RGBQUAD{255, 0, 0, 0}};
  ASSERT_EQ(SetDIBColorTable(pageDc, 0, 2, table), 2u);
  BitBlt(out.dc, 0, 0, 4, 1, pageDc, 0, 0, SRCCOPY);
  EXPECT_EQ(out.At(0, 0), kRed);
  EXPECT_EQ(out.At(1, 0), kBlue);
  SelectObject(pageDc, old);
  DeleteDC(pageDc);
  DeleteObject(page);

  // So is the table of a 1-bit DIB handed to StretchDIBits.
  BYTE row[4] = {0x50, 0, 0, 0};
  info->bmiColors[0] = RGBQUAD{255, 255, 255, 0};
  info->bmiColors[1] = RGBQUAD{0, 0, 0, 0};
  GdiCanvas direct(4, 1, kRed);
  SetTextColor(direct.dc, RGB(1, 2, 3));
  SetBkColor(direct.dc, RGB(4, 5, 6));
  ASSERT_EQ(StretchDIBits(direct.dc, 0, 0, 4, 1, 0, 0, 4, 1, row, info, DIB_RGB_COLORS, SRCCOPY), 1);
  EXPECT_EQ(direct.At(0, 0), kWhite);
  EXPECT_EQ(direct.At(1, 0), kBlack);

  // 4- and 8-bit sections, too.
  GdiCanvas grey(2, 1, kBlack, 4);
  SetPixel(grey.dc, 1, 0, kWhite);
  GdiCanvas greyOut(2, 1, kRed);
  SetTextColor(greyOut.dc, RGB(1, 2, 3));
  SetBkColor(greyOut.dc, RGB(4, 5, 6));
  BitBlt(greyOut.dc, 0, 0, 2, 1, grey.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(greyOut.At(0, 0), kBlack);
  EXPECT_EQ(greyOut.At(1, 0), kWhite);
}

TEST(GdiBitmap, ABitmapIsSelectedIntoOneDcAtATime) {
  GdiCanvas c(4, 4);
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, c.bitmap), nullptr);
  SelectObject(c.dc, c.old);
  EXPECT_NE(SelectObject(other, c.bitmap), nullptr);
  DeleteDC(other);  // releases the bitmap
  EXPECT_NE(SelectObject(c.dc, c.bitmap), nullptr);
}

// Regions and clipping.
#include <vector>

#include "platform/win/GdiRegion.h"
#include "tests/platform/GdiTestCanvas.h"

using namespace vqtest;

TEST(GdiRegion, CombineOffsetCompareAndHitTest) {
  HRGN a = CreateRectRgn(0, 0, 10, 10);
  HRGN b = CreateRectRgn(5, 5, 15, 15);
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(r, a, b, RGN_AND), SIMPLEREGION);
  RECT box;
  GetRgnBox(r, &box);
  EXPECT_EQ(box.left, 5);
  EXPECT_EQ(box.right, 10);
  EXPECT_EQ(CombineRgn(r, a, b, RGN_OR), COMPLEXREGION);
  EXPECT_TRUE(PtInRegion(r, 14, 14));
  EXPECT_FALSE(PtInRegion(r, 15, 14));  // right edge exclusive
  EXPECT_FALSE(PtInRegion(r, 12, 2));
  EXPECT_EQ(CombineRgn(r, a, b, RGN_DIFF), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(r, 7, 7));
  EXPECT_EQ(CombineRgn(r, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(r, 7, 7));
  EXPECT_TRUE(PtInRegion(r, 12, 12));
  EXPECT_EQ(CombineRgn(r, a, a, RGN_DIFF), NULLREGION);
  EXPECT_EQ(CombineRgn(r, b, nullptr, RGN_COPY), SIMPLEREGION);
  EXPECT_EQ(OffsetRgn(r, -5, -5), SIMPLEREGION);
  EXPECT_TRUE(EqualRgn(r, a));
  EXPECT_EQ(CombineRgn(r, a, nullptr, RGN_AND), ERROR);
  RECT inside{8, 8, 20, 20};
  EXPECT_TRUE(RectInRegion(a, &inside));
  for (HRGN h : {a, b, r}) DeleteObject(h);
}

TEST(GdiRegion, UnionOfBitmapRunsEqualsTheShape) {
  // Rows of a mask added as one-pixel-high runs, as a skinned control does.
  HRGN built = CreateRectRgn(0, 0, 0, 0);
  for (int y = 2; y < 6; ++y) {
    HRGN run = CreateRectRgn(3, y, 9, y + 1);
    CombineRgn(built, built, run, RGN_OR);
    DeleteObject(run);
  }
  HRGN rect = CreateRectRgn(3, 2, 9, 6);
  EXPECT_TRUE(EqualRgn(built, rect));
  DWORD size = GetRegionData(built, 0, nullptr);
  std::vector<BYTE> data(size);
  ASSERT_EQ(GetRegionData(built, size, reinterpret_cast<RGNDATA*>(data.data())), size);
  HRGN copy = ExtCreateRegion(nullptr, size, reinterpret_cast<RGNDATA*>(data.data()));
  EXPECT_TRUE(EqualRgn(copy, rect));
  // A header that claims more rectangles than the data holds is refused.
  reinterpret_cast<RGNDATA*>(data.data())->rdh.nCount = 1000;
  EXPECT_EQ(ExtCreateRegion(nullptr, size, reinterpret_cast<RGNDATA*>(data.data())), nullptr);
  for (HRGN h : {built, rect, copy}) DeleteObject(h);
}

TEST(GdiRegion, RoundRectRegionCutsTheCornersSymmetrically) {
  HRGN r = CreateRoundRectRgn(0, 0, 40, 30, 16, 16);
  EXPECT_FALSE(PtInRegion(r, 0, 0));
  EXPECT_FALSE(PtInRegion(r, 39, 0));
  EXPECT_FALSE(PtInRegion(r, 0, 29));
  EXPECT_FALSE(PtInRegion(r, 39, 29));
  EXPECT_TRUE(PtInRegion(r, 0, 15));
  EXPECT_TRUE(PtInRegion(r, 39, 15));
  EXPECT_TRUE(PtInRegion(r, 20, 0));
  EXPECT_TRUE(PtInRegion(r, 20, 29));
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      ASSERT_EQ(PtInRegion(r, x, y), PtInRegion(r, 39 - x, 29 - y)) << x << "," << y;
  RECT box;
  GetRgnBox(r, &box);
  EXPECT_EQ(box.right, 40);
  EXPECT_EQ(box.bottom, 30);
  DeleteObject(r);
}

TEST(GdiRegion, ClipRegionLimitsDrawingInDeviceCoordinates) {
  GdiCanvas c(20, 20);
  HRGN clip = CreateRectRgn(5, 5, 10, 10);
  EXPECT_EQ(SelectClipRgn(c.dc, clip), SIMPLEREGION);
  DeleteObject(clip);  // the DC keeps its own copy
  // A later viewport origin moves the drawing but not the clip region.
  SetViewportOrgEx(c.dc, 3, 3, nullptr);
  RECT all{-3, -3, 17, 17};
  FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetViewportOrgEx(c.dc, 0, 0, nullptr);
  EXPECT_EQ(c.Count(kBlack), 25);
  EXPECT_EQ(c.InkBox(kWhite).left, 5);
  RECT box;
  EXPECT_EQ(GetClipBox(c.dc, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 5);
  EXPECT_EQ(box.bottom, 10);
  EXPECT_FALSE(PtVisible(c.dc, 4, 4));
  // Excluding a rectangle makes it complex; SaveDC brings the old one back.
  int saved = SaveDC(c.dc);
  EXPECT_EQ(ExcludeClipRect(c.dc, 6, 6, 8, 8), COMPLEXREGION);
  c.Fill(kWhite);
  EXPECT_EQ(c.Count(kBlack), 4);  // the excluded square keeps its pixels
  RestoreDC(c.dc, saved);
  EXPECT_EQ(SelectClipRgn(c.dc, nullptr), SIMPLEREGION);
  c.Fill(kRed);
  EXPECT_EQ(c.Count(kRed), 400);
}

TEST(GdiRegion, IntersectAndOffsetClip) {
  GdiCanvas c(20, 20);
  IntersectClipRect(c.dc, 2, 2, 12, 12);
  IntersectClipRect(c.dc, 8, 8, 18, 18);
  OffsetClipRgn(c.dc, 1, 0);
  c.Fill(kBlue);
  EXPECT_EQ(c.Count(kBlue), 4 * 4);
  EXPECT_EQ(c.At(9, 8), kBlue);
  EXPECT_EQ(c.At(8, 8), kWhite);
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetClipRgn(c.dc, copy), 1);
  EXPECT_TRUE(PtInRegion(copy, 12, 11));
  DeleteObject(copy);
}

TEST(GdiRegion, FillAndFrameRegions) {
  GdiCanvas c(20, 20);
  HRGN r = CreateRectRgn(2, 2, 12, 8);
  HBRUSH red = CreateSolidBrush(kRed);
  FillRgn(c.dc, r, red);
  EXPECT_EQ(c.Count(kRed), 60);
  c.Fill(kWhite);
  FrameRgn(c.dc, r, red, 1, 1);
  EXPECT_EQ(c.Count(kRed), 2 * 10 + 2 * 4);
  InvertRgn(c.dc, r);
  EXPECT_EQ(c.Count(RGB(0, 255, 255)), 28);
  EXPECT_EQ(c.Count(kBlack), 32);
  DeleteObject(r);
  DeleteObject(red);
}

// Pixel rules of lines, shapes and fills.
#include "platform/win/GdiRegion.h"
#include "platform/win/SysColors.h"
#include "tests/platform/GdiTestCanvas.h"

using namespace vqtest;

TEST(GdiDraw, RectangleOnePixelPenKeepsRightAndBottomExclusive) {
  GdiCanvas c(20, 20);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  HBRUSH brush = CreateSolidBrush(kBlue);
  HGDIOBJ oldPen = SelectObject(c.dc, pen);
  HGDIOBJ oldBrush = SelectObject(c.dc, brush);
  ASSERT_TRUE(Rectangle(c.dc, 2, 3, 10, 12));
  // Frame on the outer pixels: columns 2 and 9, rows 3 and 11.
  EXPECT_EQ(c.At(2, 3), kRed);
  EXPECT_EQ(c.At(9, 11), kRed);
  EXPECT_EQ(c.At(9, 5), kRed);
  EXPECT_EQ(c.At(5, 11), kRed);
  EXPECT_EQ(c.At(10, 5), kWhite);
  EXPECT_EQ(c.At(5, 12), kWhite);
  EXPECT_EQ(c.At(1, 5), kWhite);
  EXPECT_EQ(c.Count(kRed), 2 * 8 + 2 * 7);
  EXPECT_EQ(c.Count(kBlue), 6 * 7);
  EXPECT_EQ(SelectObject(c.dc, oldPen), pen);
  EXPECT_EQ(SelectObject(c.dc, oldBrush), brush);
  DeleteObject(pen);
  DeleteObject(brush);
}

TEST(GdiDraw, RectangleWithoutPenIsOnePixelSmaller) {
  GdiCanvas c(20, 20);
  SelectObject(c.dc, GetStockObject(NULL_PEN));
  SelectObject(c.dc, GetStockObject(BLACK_BRUSH));
  Rectangle(c.dc, 2, 2, 10, 10);
  EXPECT_EQ(c.Count(kBlack), 7 * 7);
  EXPECT_EQ(c.InkBox(kWhite).right, 9);
}

TEST(GdiDraw, InsideFramePenStaysInsideTheBox) {
  GdiCanvas c(30, 30);
  HPEN pen = CreatePen(PS_INSIDEFRAME, 3, kRed);
  SelectObject(c.dc, pen);
  SelectObject(c.dc, GetStockObject(NULL_BRUSH));
  Rectangle(c.dc, 5, 5, 25, 25);
  RECT ink = c.InkBox(kWhite);
  EXPECT_EQ(ink.left, 5);
  EXPECT_EQ(ink.top, 5);
  EXPECT_EQ(ink.right, 25);
  EXPECT_EQ(ink.bottom, 25);
  EXPECT_EQ(c.At(7, 15), kRed);   // third pixel of the frame
  EXPECT_EQ(c.At(8, 15), kWhite);  // inside, null brush
  SelectObject(c.dc, GetStockObject(BLACK_PEN));
  DeleteObject(pen);
}

TEST(GdiDraw, LineToLeavesOutItsEndPointAndMovesThePosition) {
  GdiCanvas c(20, 20);
  MoveToEx(c.dc, 2, 5, nullptr);
  LineTo(c.dc, 8, 5);
  for (int x = 2; x < 8; ++x) EXPECT_EQ(c.At(x, 5), kBlack) << x;
  EXPECT_EQ(c.At(8, 5), kWhite);
  LineTo(c.dc, 8, 9);  // continues from (8, 5)
  EXPECT_EQ(c.At(8, 5), kBlack);
  EXPECT_EQ(c.At(8, 9), kWhite);
  POINT p;
  GetCurrentPositionEx(c.dc, &p);
  EXPECT_EQ(p.x, 8);
  EXPECT_EQ(p.y, 9);
  c.Fill(kWhite);
  MoveToEx(c.dc, 0, 0, nullptr);
  LineTo(c.dc, 10, 10);
  EXPECT_EQ(c.Count(kBlack), 10);
  EXPECT_EQ(c.At(9, 9), kBlack);
}

TEST(GdiDraw, DottedPenGapsFollowTheBackgroundMode) {
  GdiCanvas c(40, 4);
  HPEN pen = CreatePen(PS_DOT, 1, kBlack);
  SelectObject(c.dc, pen);
  SetBkColor(c.dc, kRed);
  SetBkMode(c.dc, TRANSPARENT);
  MoveToEx(c.dc, 0, 1, nullptr);
  LineTo(c.dc, 36, 1);
  int on = c.Count(kBlack), untouched = c.Count(kWhite, RECT{0, 1, 36, 2});
  EXPECT_GT(on, 0);
  EXPECT_GT(untouched, 0);
  EXPECT_EQ(on + untouched, 36);
  SetBkMode(c.dc, OPAQUE);
  MoveToEx(c.dc, 0, 2, nullptr);
  LineTo(c.dc, 36, 2);
  EXPECT_EQ(c.Count(kRed, RECT{0, 2, 36, 3}), untouched);
  SelectObject(c.dc, GetStockObject(BLACK_PEN));
  DeleteObject(pen);
}

TEST(GdiDraw, XorPenDrawnTwiceRestoresThePixels) {
  GdiCanvas c(20, 20, RGB(10, 200, 30));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  SelectObject(c.dc, pen);
  SetROP2(c.dc, R2_XORPEN);
  for (int pass = 0; pass < 2; ++pass) {
    MoveToEx(c.dc, 1, 1, nullptr);
    LineTo(c.dc, 15, 12);
    if (pass == 0) {
      EXPECT_EQ(c.At(1, 1), RGB(245, 55, 225));
    }
  }
  EXPECT_EQ(c.Count(RGB(10, 200, 30)), 400);
  SelectObject(c.dc, GetStockObject(BLACK_PEN));
  DeleteObject(pen);
}

TEST(GdiDraw, EllipseStaysInItsBoxAndFillsItsCentre) {
  GdiCanvas c(40, 30);
  SelectObject(c.dc, GetStockObject(GRAY_BRUSH));
  Ellipse(c.dc, 5, 5, 35, 25);
  RECT ink = c.InkBox(kWhite);
  EXPECT_GE(ink.left, 5);
  EXPECT_GE(ink.top, 5);
  EXPECT_LE(ink.right, 35);
  EXPECT_LE(ink.bottom, 25);
  EXPECT_GE(ink.right, 34);
  EXPECT_EQ(c.At(20, 15), RGB(128, 128, 128));
  EXPECT_EQ(c.At(5, 5), kWhite);  // corners stay out
  EXPECT_EQ(c.At(20, 5), kBlack);  // the outline's top
}

TEST(GdiDraw, ArcsAndPiesStayInTheirBox) {
  GdiCanvas c(40, 40);
  Arc(c.dc, 0, 0, 40, 40, 40, 20, 20, 0);  // counter-clockwise: right to top
  RECT ink = c.InkBox(kWhite);
  EXPECT_GE(ink.left, 19);  // only the upper right quarter
  EXPECT_LE(ink.bottom, 21);
  c.Fill(kWhite);
  SelectObject(c.dc, GetStockObject(BLACK_BRUSH));
  Pie(c.dc, 0, 0, 40, 40, 0, 20, 40, 20);  // left to right through the bottom
  EXPECT_EQ(c.At(20, 30), kBlack);
  EXPECT_EQ(c.At(20, 10), kWhite);
}

TEST(GdiDraw, FocusRectInvertsEveryOtherFramePixelAndUndoes) {
  GdiCanvas c(20, 20, RGB(100, 100, 100));
  RECT r{2, 2, 12, 10};
  DrawFocusRect(c.dc, &r);
  int inverted = c.Count(RGB(155, 155, 155));
  int frame = 2 * 10 + 2 * 6;
  EXPECT_EQ(inverted, frame / 2);
  EXPECT_EQ(c.Count(RGB(155, 155, 155), RECT{3, 3, 11, 9}), 0);
  DrawFocusRect(c.dc, &r);
  EXPECT_EQ(c.Count(RGB(100, 100, 100)), 400);
}

TEST(GdiDraw, FillRectTakesSystemColourIndexBrushes) {
  GdiCanvas c(10, 10);
  RECT r{1, 1, 4, 3};
  FillRect(c.dc, &r, reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1)));
  EXPECT_EQ(c.Count(GetSysColor(COLOR_BTNFACE)), 6);
  FillRect(c.dc, &r, GetSysColorBrush(COLOR_INFOBK));
  EXPECT_EQ(c.Count(GetSysColor(COLOR_INFOBK)), 6);
  EXPECT_TRUE(DeleteObject(GetSysColorBrush(COLOR_INFOBK)));
  FillRect(c.dc, &r, GetSysColorBrush(COLOR_WINDOWTEXT));  // still alive
  EXPECT_EQ(c.Count(kBlack), 6);
}

TEST(GdiDraw, ViewportOriginAndSavedStatesMoveAndRestoreDrawing) {
  GdiCanvas c(20, 20);
  SetViewportOrgEx(c.dc, 5, 6, nullptr);
  int saved = SaveDC(c.dc);
  ASSERT_EQ(saved, 1);
  OffsetViewportOrgEx(c.dc, 2, 2, nullptr);
  HBRUSH red = CreateSolidBrush(kRed);
  SelectObject(c.dc, red);
  SetTextColor(c.dc, kBlue);
  SetPixel(c.dc, 0, 0, kBlack);
  EXPECT_EQ(GetPixel(c.dc, 0, 0), kBlack);  // GetPixel follows the same origin
  RestoreDC(c.dc, -1);
  POINT org;
  GetViewportOrgEx(c.dc, &org);
  EXPECT_EQ(org.x, 5);
  EXPECT_EQ(org.y, 6);
  EXPECT_EQ(GetTextColor(c.dc), kBlack);
  EXPECT_EQ(GetCurrentObject(c.dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  SetViewportOrgEx(c.dc, 0, 0, nullptr);
  EXPECT_EQ(c.At(7, 8), kBlack);
  EXPECT_FALSE(RestoreDC(c.dc, 1));  // nothing saved any more
  DeleteObject(red);
}

TEST(GdiDraw, ObjectDeletedWhileSelectedLivesUntilDeselected) {
  GdiCanvas c(10, 10);
  HBRUSH brush = CreateSolidBrush(kRed);
  SelectObject(c.dc, brush);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(GetObjectType(brush), 0u);  // the handle is gone...
  SelectObject(c.dc, GetStockObject(NULL_PEN));
  Rectangle(c.dc, 0, 0, 5, 5);  // ...the brush still paints
  EXPECT_EQ(c.Count(kRed), 16);
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_EQ(SelectObject(nullptr, GetStockObject(BLACK_PEN)), nullptr);
}

TEST(GdiDraw, ObjectsDescribeThemselves) {
  HPEN pen = CreatePen(PS_DOT, 1, kRed);
  LOGPEN lp{};
  ASSERT_EQ(GetObject(pen, sizeof(lp), &lp), static_cast<int>(sizeof(LOGPEN)));
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_DOT));
  EXPECT_EQ(lp.lopnColor, kRed);
  HBRUSH brush = CreateHatchBrush(HS_CROSS, kBlue);
  LOGBRUSH lb{};
  GetObject(brush, sizeof(lb), &lb);
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_HATCHED));
  EXPECT_EQ(lb.lbHatch, static_cast<ULONG_PTR>(HS_CROSS));
  EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
  DeleteObject(pen);
  DeleteObject(brush);
  EXPECT_EQ(GetObject(pen, sizeof(lp), &lp), 0);
}

TEST(GdiDraw, HatchBrushGapsFollowTheBackgroundMode) {
  GdiCanvas c(16, 16, kRed);
  HBRUSH brush = CreateHatchBrush(HS_HORIZONTAL, kBlack);
  SetBkMode(c.dc, TRANSPARENT);
  RECT r{0, 0, 16, 16};
  FillRect(c.dc, &r, brush);
  EXPECT_EQ(c.Count(kBlack), 32);  // one row in eight
  EXPECT_EQ(c.Count(kRed), 256 - 32);
  SetBkMode(c.dc, OPAQUE);
  SetBkColor(c.dc, kBlue);
  FillRect(c.dc, &r, brush);
  EXPECT_EQ(c.Count(kBlue), 256 - 32);
  DeleteObject(brush);
}

TEST(GdiDraw, HugeShapesAreDrawnOnlyWhereTheyCanShow) {
  GdiCanvas c(16, 16);
  SelectObject(c.dc, GetStockObject(GRAY_BRUSH));
  ASSERT_TRUE(Ellipse(c.dc, -200000, -200000, 200000, 200000));
  EXPECT_EQ(c.Count(RGB(128, 128, 128)), 256);
  SelectObject(c.dc, GetStockObject(BLACK_PEN));
  MoveToEx(c.dc, -1000000, 8, nullptr);
  LineTo(c.dc, 1000000, 8);
  EXPECT_EQ(c.Count(kBlack), 16);
  POINT far[3] = {{-900000, -900000}, {900000, -900000}, {0, 900000}};
  EXPECT_EQ(CreatePolygonRgn(far, 3, ALTERNATE), nullptr);  // refused, not allocated
}

TEST(GdiDraw, IndexedDibColourTablesCanBeReadAndChanged) {
  GdiCanvas c(2, 1, kBlack, 8);
  RGBQUAD entries[2] = {};
  ASSERT_EQ(GetDIBColorTable(c.dc, 254, 4, entries), 2u);
  EXPECT_EQ(entries[1].rgbRed, 255);
  RGBQUAD red{0, 0, 255, 0};
  ASSERT_EQ(SetDIBColorTable(c.dc, 0, 1, &red), 1u);
  EXPECT_EQ(c.At(0, 0), kRed);  // index 0 now shows red
}

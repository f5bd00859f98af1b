// The MFC drawing classes, classic edges and frame controls, and the
// drawing side of CImage.
#include "platform/mfc/CDC.h"
#include "platform/mfc/CImageDraw.h"
#include "platform/win/SysColors.h"
#include "platform/win/Window.h"
#include "tests/platform/GdiTestCanvas.h"

using namespace vqtest;

TEST(GdiMfc, SelectObjectHandsBackTheOldObjectAndWrappersDeleteTheirs) {
  GdiCanvas c(20, 20);
  CDC* dc = CDC::FromHandle(c.dc);
  ASSERT_EQ(dc->GetSafeHdc(), c.dc);
  EXPECT_EQ(CDC::FromHandle(c.dc), dc);
  HGDIOBJ penHandle;
  {
    CPen pen(PS_SOLID, 1, kRed);
    penHandle = pen.m_hObject;
    CPen* old = dc->SelectObject(&pen);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(old->m_hObject, GetStockObject(BLACK_PEN));
    dc->MoveTo(0, 0);
    dc->LineTo(10, 0);
    EXPECT_EQ(c.At(9, 0), kRed);
    EXPECT_EQ(dc->GetCurrentPen()->m_hObject, penHandle);
    dc->SelectObject(old);
  }
  EXPECT_EQ(GetObjectType(penHandle), 0u);  // deleted with its wrapper
  CBrush brush(kBlue);
  CBrush* oldBrush = dc->SelectObject(&brush);
  EXPECT_EQ(oldBrush->m_hObject, GetStockObject(WHITE_BRUSH));
  dc->SelectStockObject(NULL_PEN);
  dc->Rectangle(CRect(0, 5, 5, 10));
  EXPECT_EQ(c.Count(kBlue), 16);
  dc->SelectObject(oldBrush);
  CGdiObject::DeleteTempMap();
  EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));  // temps never delete
  CDC::DeleteTempMap();
  EXPECT_EQ(GetBkColor(c.dc), kWhite);  // the DC itself lives on
}

TEST(GdiMfc, PointFontsConvertTenthsOfAPoint) {
  CFont font;
  ASSERT_TRUE(font.CreatePointFont(90, L"MS Shell Dlg"));
  LOGFONTW lf{};
  font.GetLogFont(&lf);
  EXPECT_EQ(lf.lfHeight, -12);
  EXPECT_STREQ(lf.lfFaceName, L"MS Shell Dlg");
  GdiCanvas c(100, 30);
  CDC* dc = CDC::FromHandle(c.dc);
  CFont* old = dc->SelectObject(&font);
  CSize extent = dc->GetTextExtent(CString(L"设置"));
  EXPECT_NEAR(extent.cx, 24, 2);  // two full-width characters
  dc->SelectObject(old);
}

TEST(GdiMfc, FillSolidRectAndDraw3dRect) {
  GdiCanvas c(10, 10);
  CDC* dc = CDC::FromHandle(c.dc);
  dc->FillSolidRect(1, 1, 3, 2, kRed);
  EXPECT_EQ(c.Count(kRed), 6);
  EXPECT_EQ(dc->GetBkColor(), kRed);  // as MFC leaves it
  c.Fill(kWhite);
  dc->Draw3dRect(CRect(0, 0, 5, 4), kRed, kBlue);
  EXPECT_EQ(c.At(0, 0), kRed);
  EXPECT_EQ(c.At(3, 0), kRed);
  EXPECT_EQ(c.At(4, 0), kBlue);
  EXPECT_EQ(c.At(0, 3), kBlue);
  EXPECT_EQ(c.At(4, 3), kBlue);
  EXPECT_EQ(c.Count(kRed), 4 + 2);
  EXPECT_EQ(c.Count(kBlue), 4 + 4);
  EXPECT_EQ(c.At(2, 2), kWhite);
}

TEST(GdiMfc, RegionsThroughTheirWrappers) {
  CRgn a, b, both;
  a.CreateRectRgn(0, 0, 10, 10);
  b.CreateRoundRectRgn(5, 5, 20, 20, 6, 6);
  both.CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(both.CombineRgn(&a, &b, RGN_OR), COMPLEXREGION);
  EXPECT_TRUE(both.PtInRegion(15, 15));
  CRgn copy;
  copy.CreateRectRgn(0, 0, 0, 0);
  copy.CopyRgn(&both);
  EXPECT_TRUE(copy.EqualRgn(&both));
  copy.OffsetRgn(CPoint(1, 0));
  EXPECT_FALSE(copy.EqualRgn(&both));
  GdiCanvas c(20, 20);
  CDC* dc = CDC::FromHandle(c.dc);
  dc->SelectClipRgn(&a);
  CBrush red(kRed);
  dc->FillRect(CRect(0, 0, 20, 20), &red);
  dc->SelectClipRgn(nullptr);
  EXPECT_EQ(c.Count(kRed), 100);
}

TEST(GdiMfc, EdgesAndFrameControls) {
  GdiCanvas c(30, 30);
  RECT r{0, 0, 10, 10};
  ASSERT_TRUE(DrawEdge(c.dc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST));
  EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(c.At(9, 9), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(c.At(1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(c.At(8, 8), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(c.At(5, 5), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.right, 8);
  // A check box: white inside, a dark tick when checked.
  c.Fill(kRed);
  RECT box{10, 10, 23, 23};
  DrawFrameControl(c.dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK);
  EXPECT_EQ(c.At(16, 16), kWhite);
  int blackBefore = c.Count(kBlack);
  DrawFrameControl(c.dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
  EXPECT_GT(c.Count(kBlack), blackBefore + 10);
  EXPECT_EQ(c.At(9, 9), kRed);  // nothing outside the box
  RECT push{0, 0, 30, 10};
  DrawFrameControl(c.dc, &push, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);
  EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_BTNSHADOW));  // sunken when pushed
}

TEST(GdiMfc, ImageDcDrawsIntoTheImagesOwnRows) {
  CImage image;
  ASSERT_TRUE(image.Create(8, 4, 24));  // bottom-up
  HDC dc = vqplatform::GetImageDC(image);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(vqplatform::GetImageDC(image), dc);  // nested calls share the DC
  RECT top{0, 0, 8, 1};
  FillRect(dc, &top, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  vqplatform::ReleaseImageDC(image);
  SetPixel(dc, 7, 3, kRed);  // still valid after the inner release
  vqplatform::ReleaseImageDC(image);
  EXPECT_EQ(image.GetPixel(0, 0), kWhite);
  EXPECT_EQ(image.GetPixel(0, 1), kBlack);
  EXPECT_EQ(image.GetPixel(7, 3), kRed);
  const BYTE* topRow = static_cast<const BYTE*>(image.GetBits());
  EXPECT_EQ(topRow[0], 255);
  // The image drawn onto a DC, stretched two times.
  GdiCanvas c(16, 8);
  SetStretchBltMode(c.dc, COLORONCOLOR);
  ASSERT_TRUE(vqplatform::DrawImage(image, c.dc, RECT{0, 0, 16, 8}));
  EXPECT_EQ(c.At(15, 7), kRed);
  EXPECT_EQ(c.At(15, 5), kBlack);
  EXPECT_EQ(c.At(0, 1), kWhite);
  CImage empty;
  EXPECT_FALSE(vqplatform::DrawImage(empty, c.dc, 0, 0));
  EXPECT_EQ(vqplatform::GetImageDC(empty), nullptr);
}

TEST(GdiMfc, IndexedImagesDrawThroughTheirColourTable) {
  CImage image;
  ASSERT_TRUE(image.Create(4, -2, 8));  // top-down, grey ramp
  static_cast<BYTE*>(image.GetBits())[1] = 200;
  GdiCanvas c(4, 2);
  ASSERT_TRUE(vqplatform::ImageBitBlt(image, c.dc, 0, 0, 4, 2, 0, 0));
  EXPECT_EQ(c.At(1, 0), RGB(200, 200, 200));
  EXPECT_EQ(c.At(0, 0), kBlack);
}

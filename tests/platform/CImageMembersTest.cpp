// CImage's drawing members: drawing into the image through its DC, and the
// image drawn, stretched, keyed and blended onto another image.
#include <gtest/gtest.h>

#include "platform/mfc/CImage.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"

namespace {

void Fill(CImage& image, const RECT& rect, COLORREF colour) {
  HDC dc = image.GetDC();
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
  image.ReleaseDC();
}

TEST(CImageMembers, DrawKeyAndBlendOntoAnotherImage) {
  CImage source, target;
  ASSERT_TRUE(source.Create(4, 4, 24));
  ASSERT_TRUE(target.Create(20, -20, 24));
  Fill(source, RECT{0, 0, 4, 4}, RGB(0, 0, 0));
  Fill(source, RECT{1, 1, 3, 3}, RGB(200, 100, 0));
  Fill(target, RECT{0, 0, 20, 20}, RGB(0, 0, 200));
  EXPECT_EQ(source.GetPixel(1, 1), RGB(200, 100, 0));

  HDC dc = target.GetDC();
  EXPECT_TRUE(source.Draw(dc, 0, 0));
  EXPECT_TRUE(source.TransparentBlt(dc, 10, 0, 4, 4, RGB(0, 0, 0)));
  EXPECT_TRUE(source.StretchBlt(dc, 0, 10, 8, 8));
  EXPECT_TRUE(source.AlphaBlend(dc, 10, 10, 128));
  target.ReleaseDC();

  EXPECT_EQ(target.GetPixel(0, 0), RGB(0, 0, 0));         // copied as is
  EXPECT_EQ(target.GetPixel(10, 0), RGB(0, 0, 200));      // the key left out
  EXPECT_EQ(target.GetPixel(11, 1), RGB(200, 100, 0));
  EXPECT_EQ(target.GetPixel(4, 14), RGB(200, 100, 0));    // stretched twice
  COLORREF blended = target.GetPixel(11, 11);             // half over blue
  EXPECT_NEAR(GetRValue(blended), 100, 2);
  EXPECT_NEAR(GetBValue(blended), 100, 2);
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/mfc/Geometry.h"

namespace {

TEST(CRect, SizesAndPointsUseExclusiveEdges) {
  CRect r(10, 20, 110, 70);
  EXPECT_EQ(r.Width(), 100);
  EXPECT_EQ(r.Height(), 50);
  EXPECT_EQ(r.Size(), CSize(100, 50));
  EXPECT_EQ(r.CenterPoint(), CPoint(60, 45));
  EXPECT_TRUE(r.PtInRect(CPoint(10, 20)));
  EXPECT_FALSE(r.PtInRect(CPoint(110, 20)));
  EXPECT_FALSE(r.PtInRect(CPoint(10, 70)));
  EXPECT_TRUE(CRect(5, 5, 5, 9).IsRectEmpty());
  EXPECT_FALSE(CRect(5, 5, 5, 9).IsRectNull());
  EXPECT_TRUE(CRect(9, 0, 2, 3).IsRectEmpty());
}

TEST(CRect, IntersectionAndUnion) {
  CRect a(0, 0, 100, 100), b(50, 60, 150, 160), r;
  EXPECT_TRUE(r.IntersectRect(a, b));
  EXPECT_EQ(r, CRect(50, 60, 100, 100));
  EXPECT_FALSE(r.IntersectRect(a, CRect(100, 0, 200, 100)));  // touching edges only
  EXPECT_TRUE(r.IsRectNull());
  EXPECT_TRUE(r.UnionRect(a, b));
  EXPECT_EQ(r, CRect(0, 0, 150, 160));
  EXPECT_TRUE(r.UnionRect(CRect(), b));
  EXPECT_EQ(r, b);
  EXPECT_EQ(a & b, CRect(50, 60, 100, 100));
  EXPECT_EQ(a | b, CRect(0, 0, 150, 160));
}

TEST(CRect, MovesAndNormalisation) {
  CRect r(30, 40, 10, 20);
  r.NormalizeRect();
  EXPECT_EQ(r, CRect(10, 20, 30, 40));
  r.OffsetRect(5, -5);
  EXPECT_EQ(r, CRect(15, 15, 35, 35));
  r.InflateRect(1, 2);
  EXPECT_EQ(r, CRect(14, 13, 36, 37));
  r.DeflateRect(1, 2, 3, 4);
  EXPECT_EQ(r, CRect(15, 15, 33, 33));
  r.MoveToXY(0, 0);
  EXPECT_EQ(r, CRect(0, 0, 18, 18));
  EXPECT_EQ(CPoint(3, 4) - CPoint(1, 1), CSize(2, 3));
  EXPECT_EQ(CRect(CPoint(1, 2), CSize(3, 4)), CRect(1, 2, 4, 6));
}

}  // namespace

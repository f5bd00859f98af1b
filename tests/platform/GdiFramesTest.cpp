// Frame controls: which way scroll arrows point, and the menu marks.
#include "platform/win/GdiFrames.h"
#include "platform/win/SysColors.h"
#include "tests/platform/GdiTestCanvas.h"

using namespace vqtest;

namespace {

// Glyph pixels per row (or column) inside the raised box of a frame
// control drawn at {0, 0, size, size}; the 3-pixel edge is left out.
std::vector<int> GlyphProfile(const GdiCanvas& c, int size, bool rows) {
  COLORREF glyph = GetSysColor(COLOR_BTNTEXT);
  std::vector<int> profile;
  for (int a = 3; a < size - 3; ++a) {
    int n = 0;
    for (int b = 3; b < size - 3; ++b) n += (rows ? c.At(b, a) : c.At(a, b)) == glyph;
    if (n > 0) profile.push_back(n);
  }
  return profile;
}

std::vector<int> ArrowProfile(UINT glyph, bool rows) {
  constexpr int kSize = 17;
  GdiCanvas c(kSize, kSize);
  RECT r{0, 0, kSize, kSize};
  EXPECT_TRUE(DrawFrameControl(c.dc, &r, DFC_SCROLL, glyph));
  return GlyphProfile(c, kSize, rows);
}

}  // namespace

TEST(GdiFrames, ScrollArrowsPointTheirWay) {
  // A triangle four lines deep: the wide line is opposite the point.
  for (UINT down : {UINT(DFCS_SCROLLDOWN), UINT(DFCS_SCROLLCOMBOBOX)}) {
    std::vector<int> rows = ArrowProfile(down, true);
    ASSERT_EQ(rows.size(), 4u) << down;
    EXPECT_EQ(rows.front(), 7) << down;  // wide side on top
    EXPECT_EQ(rows.back(), 1) << down;
  }
  std::vector<int> up = ArrowProfile(DFCS_SCROLLUP, true);
  ASSERT_EQ(up.size(), 4u);
  EXPECT_EQ(up.front(), 1);
  EXPECT_EQ(up.back(), 7);
  std::vector<int> left = ArrowProfile(DFCS_SCROLLLEFT, false);
  ASSERT_EQ(left.size(), 4u);
  EXPECT_EQ(left.front(), 1);
  EXPECT_EQ(left.back(), 7);
  std::vector<int> right = ArrowProfile(DFCS_SCROLLRIGHT, false);
  ASSERT_EQ(right.size(), 4u);
  EXPECT_EQ(right.front(), 7);
  EXPECT_EQ(right.back(), 1);
}

TEST(GdiFrames, MenuCheckIsATickInTheTextColour) {
  GdiCanvas c(20, 20);
  SetTextColor(c.dc, kRed);
  RECT r{2, 2, 18, 18};
  ASSERT_TRUE(DrawFrameControl(c.dc, &r, DFC_MENU, DFCS_MENUCHECK));
  // Only the mark is drawn, no box around it, all of it in the text colour.
  EXPECT_EQ(c.CountOther(kWhite), c.Count(kRed));
  EXPECT_EQ(c.At(2, 2), kWhite);
  EXPECT_EQ(c.At(17, 17), kWhite);
  RECT ink = c.InkBox(kWhite);
  ASSERT_GT(ink.right - ink.left, 6);
  ASSERT_GT(ink.bottom - ink.top, 4);  // not a dash
  // The lowest point is left of the middle; both ends rise from it, the
  // right one higher.
  auto topOf = [&](int x) {
    for (int y = 0; y < c.height; ++y)
      if (c.At(x, y) == kRed) return y;
    return -1;
  };
  int lowestX = -1, lowestY = -1;
  for (int x = ink.left; x < ink.right; ++x) {
    int top = topOf(x);
    if (top > lowestY) lowestY = top, lowestX = x;
  }
  EXPECT_LT(lowestX - ink.left, ink.right - lowestX);
  EXPECT_LT(topOf(ink.left), lowestY);
  EXPECT_LT(topOf(ink.right - 1), topOf(ink.left));
  EXPECT_EQ(topOf(ink.right - 1), ink.top);

  c.Fill(kWhite);
  ASSERT_TRUE(DrawFrameControl(c.dc, &r, DFC_MENU, DFCS_MENUBULLET));
  EXPECT_GT(c.Count(kRed), 8);
  EXPECT_EQ(c.CountOther(kWhite), c.Count(kRed));
  ink = c.InkBox(kWhite);
  EXPECT_NEAR((ink.left + ink.right) / 2.0, 10, 1);
  EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 10, 1);
}

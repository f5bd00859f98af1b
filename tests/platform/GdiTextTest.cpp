// Fonts and text: face mapping, LOGFONT heights, metrics, TextOut and
// DrawText with their alignment and format flags, Chinese glyphs.
#include <algorithm>
#include <thread>
#include <utility>

#include "platform/win/GdiSurface.h"
#include "platform/win/GdiText.h"
#include "tests/platform/GdiTestCanvas.h"
#include "tests/support/TestEnv.h"

using namespace vqtest;

namespace {

HFONT MakeFont(const wchar_t* face, int height, int weight = FW_NORMAL, bool underline = false) {
  return CreateFontW(height, 0, 0, 0, weight, FALSE, underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

// Selects a font for the life of the object.
struct FontScope {
  FontScope(HDC dc, HFONT font) : dc(dc), font(font), old(SelectObject(dc, font)) {}
  ~FontScope() {
    SelectObject(dc, old);
    DeleteObject(font);
  }
  HDC dc;
  HFONT font;
  HGDIOBJ old;
};

SIZE Extent(HDC dc, const wchar_t* text) {
  SIZE s{};
  GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &s);
  return s;
}

}  // namespace

TEST(GdiText, FaceNamesMapToTheInstalledFonts) {
  EXPECT_EQ(vqplatform::MapFaceName(L"MS Shell Dlg"), "WenQuanYi Micro Hei");
  EXPECT_EQ(vqplatform::MapFaceName(L"ms shell dlg 2"), "WenQuanYi Micro Hei");
  EXPECT_EQ(vqplatform::MapFaceName(L"宋体"), "WenQuanYi Micro Hei");
  EXPECT_EQ(vqplatform::MapFaceName(L"Tahoma"), "WenQuanYi Micro Hei");
  EXPECT_EQ(vqplatform::MapFaceName(L"Arial"), "Liberation Sans");
  EXPECT_EQ(vqplatform::MapFaceName(L"DejaVu Sans"), "DejaVu Sans");
}

TEST(GdiText, ChineseRendersAsGlyphsNotBoxes) {
  GdiCanvas c(220, 40);
  FontScope f(c.dc, MakeFont(L"MS Shell Dlg", -16));
  const wchar_t* text = L"文档摄像头 拍照 Capture";
  EXPECT_EQ(vqplatform::CountMissingGlyphs(c.dc, text, -1), 0);
  SetBkMode(c.dc, TRANSPARENT);
  ASSERT_TRUE(TextOutW(c.dc, 4, 4, text, static_cast<int>(wcslen(text))));
  RECT ink = c.InkBox(kWhite);
  EXPECT_GE(ink.left, 4);
  EXPECT_GT(ink.right - ink.left, 120);
  EXPECT_LE(ink.bottom, 4 + 22);
  EXPECT_GT(c.Count(kBlack), 100);
  EXPECT_TRUE(vqplatform::SaveBitmapAsPng(c.bitmap, TempPath("chinese.png").string()));
  FontScope arial(c.dc, MakeFont(L"Arial", -16));
  EXPECT_EQ(vqplatform::CountMissingGlyphs(c.dc, L"拍照", -1), 0);  // falls back to the dialog font
}

TEST(GdiText, LogFontHeightRules) {
  GdiCanvas c(10, 10);
  TEXTMETRICW tm{};
  {
    FontScope f(c.dc, MakeFont(L"Arial", -20));
    GetTextMetricsW(c.dc, &tm);
    EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, 20, 1);  // negative: character height
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  }
  {
    FontScope f(c.dc, MakeFont(L"Arial", 20));
    GetTextMetricsW(c.dc, &tm);
    EXPECT_EQ(tm.tmHeight, 20);  // positive: cell height
    EXPECT_GT(tm.tmInternalLeading, 0);
  }
  {
    FontScope f(c.dc, MakeFont(L"MS Shell Dlg", -12));
    GetTextMetricsW(c.dc, &tm);
    EXPECT_GE(tm.tmAveCharWidth, 5);
    EXPECT_LE(tm.tmAveCharWidth, 8);
    EXPECT_GT(tm.tmMaxCharWidth, tm.tmAveCharWidth);
  }
}

TEST(GdiText, ExtentsFollowTextWeightAndSize) {
  GdiCanvas c(10, 10);
  SIZE normal, bold, big;
  {
    FontScope f(c.dc, MakeFont(L"Arial", -16));
    normal = Extent(c.dc, L"Hello World");
    TEXTMETRICW tm;
    GetTextMetricsW(c.dc, &tm);
    EXPECT_EQ(normal.cy, tm.tmHeight);
    SIZE empty{-1, -1};
    EXPECT_TRUE(GetTextExtentPoint32W(c.dc, L"", 0, &empty));
    EXPECT_EQ(empty.cx, 0);
    SIZE twice = Extent(c.dc, L"Hello WorldHello World");
    EXPECT_NEAR(twice.cx, 2 * normal.cx, 2);
  }
  {
    FontScope f(c.dc, MakeFont(L"Arial", -16, FW_BOLD));
    bold = Extent(c.dc, L"Hello World");
  }
  {
    FontScope f(c.dc, MakeFont(L"Arial", -32));
    big = Extent(c.dc, L"Hello World");
  }
  EXPECT_GT(bold.cx, normal.cx);
  EXPECT_NEAR(big.cx, 2 * normal.cx, 4);
}

TEST(GdiText, TextAlignAndBackgroundMode) {
  GdiCanvas c(200, 60);
  FontScope f(c.dc, MakeFont(L"Arial", -20));
  TEXTMETRICW tm;
  GetTextMetricsW(c.dc, &tm);
  SIZE s = Extent(c.dc, L"Wide");
  SetBkColor(c.dc, kRed);
  SetBkMode(c.dc, OPAQUE);
  TextOutW(c.dc, 10, 5, L"Wide", 4);
  EXPECT_EQ(c.At(10, 5), kRed);  // the cell is filled
  EXPECT_EQ(c.Count(kRed) + c.Count(kBlack) > s.cx * tm.tmHeight / 2, true);
  RECT box = c.InkBox(kWhite);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.top, 5);
  EXPECT_EQ(box.right, 10 + s.cx);
  EXPECT_EQ(box.bottom, 5 + tm.tmHeight);
  c.Fill(kWhite);
  SetBkMode(c.dc, TRANSPARENT);
  SetTextAlign(c.dc, TA_RIGHT | TA_BASELINE);
  TextOutW(c.dc, 150, 40, L"Wide", 4);
  EXPECT_EQ(c.Count(kRed), 0);
  box = c.InkBox(kWhite);
  EXPECT_LE(box.right, 150);
  EXPECT_GE(box.right, 146);
  EXPECT_LE(box.bottom, 40 + 1);  // no descenders in "Wide"
  EXPECT_GE(box.bottom, 38);
}

TEST(GdiText, DrawTextSingleLineCentresInTheRectangle) {
  GdiCanvas c(200, 60);
  FontScope f(c.dc, MakeFont(L"Arial", -16));
  SetBkMode(c.dc, TRANSPARENT);
  RECT r{0, 0, 200, 60};
  int h = DrawTextW(c.dc, L"OK", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  TEXTMETRICW tm;
  GetTextMetricsW(c.dc, &tm);
  EXPECT_EQ(h, (60 - tm.tmHeight) / 2 + tm.tmHeight);
  RECT ink = c.InkBox(kWhite);
  EXPECT_NEAR((ink.left + ink.right) / 2.0, 100, 2);
  EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 30, 4);
  c.Fill(kWhite);
  r = RECT{0, 0, 200, 60};
  DrawTextW(c.dc, L"OK", -1, &r, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
  ink = c.InkBox(kWhite);
  EXPECT_GE(ink.right, 197);
  EXPECT_GE(ink.bottom, 60 - tm.tmHeight);
}

TEST(GdiText, DrawTextCalcRectAndWordBreak) {
  GdiCanvas c(100, 100);
  FontScope f(c.dc, MakeFont(L"Arial", -14));
  TEXTMETRICW tm;
  GetTextMetricsW(c.dc, &tm);
  RECT one{10, 10, 10, 10};
  int h = DrawTextW(c.dc, L"single line", -1, &one, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(h, tm.tmHeight);
  EXPECT_EQ(one.right - one.left, Extent(c.dc, L"single line").cx);
  EXPECT_EQ(c.Count(kWhite), 100 * 100);  // measuring draws nothing
  // Word-broken text narrows to its widest line.
  const int firstWord = Extent(c.dc, L"measured").cx;
  RECT wrapped{0, 0, firstWord + 4, 0};
  h = DrawTextW(c.dc, L"measured text", -1, &wrapped, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_EQ(h, 2 * tm.tmHeight);
  EXPECT_EQ(wrapped.bottom, h);
  EXPECT_EQ(wrapped.right, firstWord);
  RECT lines{0, 0, 400, 0};
  DrawTextW(c.dc, L"short\na longer second line", -1, &lines, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_EQ(lines.right, Extent(c.dc, L"a longer second line").cx);
  EXPECT_EQ(lines.bottom, 2 * tm.tmHeight);
  // A word longer than the rectangle widens it.
  RECT narrow{5, 0, 25, 0};
  DrawTextW(c.dc, L"unbreakable", -1, &narrow, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_EQ(narrow.right - narrow.left, Extent(c.dc, L"unbreakable").cx);
  // Chinese breaks between characters: three to a line here.
  FontScope dialogFont(c.dc, MakeFont(L"MS Shell Dlg", -12));
  GetTextMetricsW(c.dc, &tm);
  const int three = Extent(c.dc, L"文档摄").cx;
  RECT chinese{0, 0, three + 3, 0};
  h = DrawTextW(c.dc, L"文档摄像头文档摄像头", -1, &chinese, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_EQ(h, 4 * tm.tmHeight);
  EXPECT_EQ(chinese.right, three);
}

TEST(GdiText, DrawTextWordBreakAlignsEveryLine) {
  GdiCanvas c(160, 100);
  FontScope f(c.dc, MakeFont(L"Arial", -14));
  SetBkMode(c.dc, TRANSPARENT);
  TEXTMETRICW tm;
  GetTextMetricsW(c.dc, &tm);
  const wchar_t* text = L"one two three four five six seven";
  // Ink of one line band: left and right ends, -1 when empty.
  auto band = [&](int line) {
    RECT area{0, 10 + line * tm.tmHeight, c.width, std::min<int>(c.height, 10 + (line + 1) * tm.tmHeight)};
    int left = -1, right = -1;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = 0; x < c.width; ++x)
        if (c.At(x, y) != kWhite) {
          if (left < 0 || x < left) left = x;
          right = std::max(right, x + 1);
        }
    return std::pair<int, int>(left, right);
  };
  RECT r{20, 10, 120, 100};
  DrawTextW(c.dc, text, -1, &r, DT_LEFT | DT_WORDBREAK);
  const int leftInk = c.CountOther(kWhite);
  int lines = 0;
  while (band(lines).first >= 0) ++lines;
  ASSERT_GE(lines, 3);
  for (int line = 0; line < lines; ++line) EXPECT_LE(band(line).first, 22) << line;
  // Right and centred text wraps the same lines, each placed on its own.
  for (UINT align : {UINT(DT_RIGHT), UINT(DT_CENTER)}) {
    c.Fill(kWhite);
    r = RECT{20, 10, 120, 100};
    DrawTextW(c.dc, text, -1, &r, align | DT_WORDBREAK);
    EXPECT_NEAR(c.CountOther(kWhite), leftInk, leftInk / 10) << align;
    EXPECT_LE(c.InkBox(kWhite).right, 120) << align;
    for (int line = 0; line < lines; ++line) {
      auto [left, right] = band(line);
      ASSERT_GE(left, 20) << align << " line " << line;
      if (align == DT_RIGHT) {
        EXPECT_GE(right, 117) << "line " << line;
      } else {
        EXPECT_NEAR((left + right) / 2.0, 70, 3) << "line " << line;
      }
    }
    EXPECT_EQ(band(lines).first, -1) << align;
  }
}

TEST(GdiText, DrawTextPrefixesAndEllipsis) {
  GdiCanvas c(200, 40);
  FontScope f(c.dc, MakeFont(L"Arial", -14));
  RECT a{0, 0, 0, 0}, b{0, 0, 0, 0}, amp{0, 0, 0, 0}, raw{0, 0, 0, 0};
  DrawTextW(c.dc, L"&File", -1, &a, DT_CALCRECT | DT_SINGLELINE);
  DrawTextW(c.dc, L"File", -1, &b, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_EQ(a.right, b.right);
  DrawTextW(c.dc, L"A&&B", -1, &amp, DT_CALCRECT | DT_SINGLELINE);
  DrawTextW(c.dc, L"A&&B", -1, &raw, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_LT(amp.right, raw.right);
  EXPECT_EQ(amp.right, Extent(c.dc, L"A&B").cx);
  // The prefixed letter is underlined: more ink below the baseline.
  SetBkMode(c.dc, TRANSPARENT);
  RECT r{0, 0, 200, 40};
  DrawTextW(c.dc, L"&File", -1, &r, DT_SINGLELINE);
  int underlined = c.CountOther(kWhite);
  c.Fill(kWhite);
  DrawTextW(c.dc, L"&File", -1, &r, DT_SINGLELINE | DT_HIDEPREFIX);
  EXPECT_GT(underlined, c.CountOther(kWhite));
  // A long text ends in an ellipsis inside its rectangle.
  c.Fill(kWhite);
  RECT narrow{0, 0, 60, 20};
  DrawTextW(c.dc, L"a rather long piece of text", -1, &narrow, DT_SINGLELINE | DT_END_ELLIPSIS);
  RECT ink = c.InkBox(kWhite);
  EXPECT_LE(ink.right, 60);
  EXPECT_GT(ink.right, 40);
}

TEST(GdiText, DrawTextClipsUnlessAskedNotTo) {
  GdiCanvas c(100, 30);
  FontScope f(c.dc, MakeFont(L"Arial", -14));
  SetBkMode(c.dc, TRANSPARENT);
  RECT r{0, 0, 20, 30};
  DrawTextW(c.dc, L"clipped text", -1, &r, DT_SINGLELINE);
  EXPECT_LE(c.InkBox(kWhite).right, 20);
  c.Fill(kWhite);
  DrawTextW(c.dc, L"clipped text", -1, &r, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(c.InkBox(kWhite).right, 40);
}

TEST(GdiText, TextDrawsOnSeveralThreadsAtOnce) {
  auto work = [](int* inked) {
    GdiCanvas c(120, 30);
    FontScope f(c.dc, MakeFont(L"MS Shell Dlg", -14));
    for (int i = 0; i < 20; ++i) TextOutW(c.dc, 2, 2, L"线程 thread", 9);
    *inked = c.Count(kBlack);
  };
  int a = 0, b = 0;
  std::thread t1(work, &a), t2(work, &b);
  t1.join();
  t2.join();
  EXPECT_GT(a, 20);
  EXPECT_EQ(a, b);
}

TEST(GdiText, EscapementTurnsTheTextCounterClockwise) {
  GdiCanvas c(120, 120);
  HFONT upright = MakeFont(L"Arial", -16);
  LOGFONTW lf{};
  GetObject(upright, sizeof(lf), &lf);
  DeleteObject(upright);
  lf.lfEscapement = 900;
  FontScope f(c.dc, CreateFontIndirectW(&lf));
  SetBkMode(c.dc, TRANSPARENT);
  TextOutW(c.dc, 40, 100, L"Rotated", 7);
  RECT ink = c.InkBox(kWhite);
  EXPECT_GT(ink.bottom - ink.top, 2 * (ink.right - ink.left));  // runs upwards
  EXPECT_LE(ink.bottom, 101);
  EXPECT_GE(ink.left, 39);
}

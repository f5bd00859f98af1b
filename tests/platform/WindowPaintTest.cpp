// Painting as windows expect it: an invalidated parent repaints the children
// it covers unless it clips them, WS_CLIPCHILDREN and WS_CLIPSIBLINGS keep a
// window's drawing off its children and upper siblings, parents paint before
// children, and one WM_ERASEBKGND and WM_PAINT serve a whole update region.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/win/GdiPaint.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/TestInput.h"
#include "tests/platform/GdiTestCanvas.h"
#include "tests/platform/MessageTestSupport.h"
#include "tests/support/Windows.h"

namespace {

using vqtest::kBlue;
using vqtest::kRed;
constexpr COLORREF kYellow = RGB(255, 255, 0);

// Each window fills its whole client area with its colour (GWLP_USERDATA)
// on WM_PAINT, ignoring its children; what the DC lets through shows.
struct PaintLog {
  std::map<HWND, int> paints, erases;
  std::vector<HWND> order;
  RECT lastPaint{};
};
PaintLog g_log;

LRESULT CALLBACK FillProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return ++g_log.erases[hwnd];
  if (message != WM_PAINT) return DefWindowProcW(hwnd, message, wParam, lParam);
  ++g_log.paints[hwnd];
  g_log.order.push_back(hwnd);
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd, &paint);
  g_log.lastPaint = paint.rcPaint;
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
  RECT all{0, 0, 1000, 1000};
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  EndPaint(hwnd, &paint);
  return 0;
}

class WindowPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = FillProc;
    wc.lpszClassName = L"PaintFillWindow";
    RegisterClassW(&wc);
  }
  void TearDown() override {
    DestroyWindow(top_);
    UnregisterClassW(L"PaintFillWindow", nullptr);
  }
  HWND Make(HWND parent, DWORD style, COLORREF color, int x, int y, int w, int h) {
    HWND hwnd = CreateWindowExW(0, L"PaintFillWindow", L"", style | WS_VISIBLE | (parent ? WS_CHILD : WS_POPUP), x,
                                y, w, h, parent, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(color));
    return hwnd;
  }
  // A 200 x 100 red window with a blue child at (20, 20, 80, 60), painted.
  HWND MakeParentAndChild(DWORD parentStyle) {
    top_ = Make(nullptr, parentStyle, kRed, 0, 0, 200, 100);
    HWND child = Make(top_, 0, kBlue, 20, 20, 60, 40);
    Pump();
    return child;
  }
  static void Pump() {
    Dispatch();
    g_log = PaintLog{};
  }
  static void Dispatch() { vqtest::DispatchQueued(); }
  COLORREF Pixel(int x, int y) const { return vqtest::SurfacePixel(top_, x, y); }
  HWND top_ = nullptr;
};

TEST_F(WindowPaint, AnInvalidatedParentRepaintsTheChildrenItCoversAfterItself) {
  HWND child = MakeParentAndChild(0);
  RECT beside{100, 0, 200, 100};
  InvalidateRect(top_, &beside, TRUE);
  Dispatch();
  EXPECT_EQ(g_log.paints[child], 0) << "an area beside the child leaves it alone";
  g_log = PaintLog{};
  // The parent paints over part of the child, which then paints that part again.
  RECT over{0, 0, 40, 40};
  InvalidateRect(top_, &over, TRUE);
  Dispatch();
  ASSERT_EQ(g_log.order, (std::vector<HWND>{top_, child}));
  RECT inChild{0, 0, 20, 20};
  EXPECT_TRUE(EqualRect(&g_log.lastPaint, &inChild));
  EXPECT_EQ(g_log.erases[child], 1);
  EXPECT_EQ(Pixel(25, 25), kBlue);
  EXPECT_EQ(Pixel(10, 10), kRed);
  // Parents paint first even when the child was invalid before them.
  Pump();
  InvalidateRect(child, nullptr, TRUE);
  InvalidateRect(top_, nullptr, TRUE);
  Dispatch();
  EXPECT_EQ(g_log.order, (std::vector<HWND>{top_, child}));
  // UpdateWindow paints the window, then its invalid children, at once.
  InvalidateRect(top_, nullptr, TRUE);
  UpdateWindow(top_);
  EXPECT_EQ(g_log.paints[child], 2);
  EXPECT_EQ(Pixel(50, 40), kBlue);
}

TEST_F(WindowPaint, ClipChildrenAndClipSiblingsKeepAWindowsDrawingOffThem) {
  HWND child = MakeParentAndChild(WS_CLIPCHILDREN);
  InvalidateRect(top_, nullptr, TRUE);
  Dispatch();
  EXPECT_EQ(g_log.paints[child], 0);
  EXPECT_EQ(Pixel(20, 20), kBlue);
  EXPECT_EQ(Pixel(19, 19), kRed);
  // A lower sibling with WS_CLIPSIBLINGS stays off the child (created
  // earlier, so above it); one without paints over it.
  HWND clipped = Make(top_, WS_CLIPSIBLINGS, kYellow, 60, 40, 60, 50);
  Dispatch();
  EXPECT_EQ(Pixel(70, 50), kBlue);
  EXPECT_EQ(Pixel(100, 70), kYellow);
  SetWindowLongW(clipped, GWL_STYLE, GetWindowLongW(clipped, GWL_STYLE) & ~WS_CLIPSIBLINGS);
  InvalidateRect(clipped, nullptr, TRUE);
  Dispatch();
  EXPECT_EQ(Pixel(70, 50), kYellow);
}

TEST_F(WindowPaint, OneEraseAndOnePaintServeTheWholeUpdateRegion) {
  top_ = Make(nullptr, 0, kRed, 0, 0, 200, 100);
  Pump();
  SetWindowLongPtrW(top_, GWLP_USERDATA, static_cast<LONG_PTR>(kBlue));
  RECT left{0, 0, 10, 10}, right{150, 50, 160, 60}, bounds{}, both{0, 0, 160, 60};
  InvalidateRect(top_, &left, TRUE);
  InvalidateRect(top_, &right, FALSE);
  EXPECT_TRUE(GetUpdateRect(top_, &bounds, FALSE));
  EXPECT_TRUE(EqualRect(&bounds, &both));
  Dispatch();
  EXPECT_EQ(g_log.paints[top_], 1);
  EXPECT_EQ(g_log.erases[top_], 1);
  EXPECT_TRUE(EqualRect(&g_log.lastPaint, &both));
  EXPECT_EQ(Pixel(5, 5), kBlue);
  EXPECT_EQ(Pixel(155, 55), kBlue);
  EXPECT_EQ(Pixel(80, 30), kRed) << "nothing between the two rectangles is drawn";
  // Validating part of the region leaves the rest due.
  InvalidateRect(top_, &left, FALSE);
  InvalidateRect(top_, &right, FALSE);
  ValidateRect(top_, &left);
  EXPECT_TRUE(GetUpdateRect(top_, &bounds, FALSE));
  EXPECT_TRUE(EqualRect(&bounds, &right));
}

TEST_F(WindowPaint, AChildOfAnotherThreadKeepsItsOwnSurfaceAndIsNotInvalidated) {
  top_ = Make(nullptr, 0, kRed, 0, 0, 200, 100);
  vqtest::WindowThread other(L"Other", top_, WS_CHILD | WS_VISIBLE);
  HWND foreign = other.Window();
  // Its own thread paints it; then the parent is invalidated.
  for (int i = 0; i < 5000 && GetUpdateRect(foreign, nullptr, FALSE); ++i) Sleep(1);
  ASSERT_FALSE(GetUpdateRect(foreign, nullptr, FALSE));
  InvalidateRect(top_, nullptr, TRUE);
  EXPECT_FALSE(GetUpdateRect(foreign, nullptr, FALSE));
  EXPECT_NE(vqplatform::OwnedSurface(foreign), nullptr);
  other.Stop();
}

}  // namespace

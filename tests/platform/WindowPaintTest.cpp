// Painting as windows expect it: an invalidated parent repaints the children
// it covers unless it clips them, WS_CLIPCHILDREN and WS_CLIPSIBLINGS keep a
// window's drawing off its children and upper siblings, parents paint before
// children, and one WM_ERASEBKGND and WM_PAINT serve a whole update region.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/win/GdiPaint.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/Window.h"
#include "platform/win/WindowSurfaces.h"
#include "tests/platform/GdiTestCanvas.h"
#include "tests/platform/MessageTestSupport.h"

namespace {

using vqtest::kBlue;
using vqtest::kRed;

constexpr COLORREF kGreen = RGB(0, 160, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0);

// Each window fills its whole client area with its colour (GWLP_USERDATA)
// on WM_PAINT, ignoring its children; what the DC lets through shows.
struct PaintLog {
  std::map<HWND, int> paints;
  std::map<HWND, int> erases;
  std::vector<HWND> order;
  std::map<HWND, RECT> lastPaintRect;
};
PaintLog* g_log = nullptr;

LRESULT CALLBACK FillProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      ++g_log->erases[hwnd];
      return 1;
    case WM_PAINT: {
      ++g_log->paints[hwnd];
      g_log->order.push_back(hwnd);
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(hwnd, &paint);
      g_log->lastPaintRect[hwnd] = paint.rcPaint;
      HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(dc, &client, brush);
      DeleteObject(brush);
      EndPaint(hwnd, &paint);
      return 0;
    }
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

class WindowPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log = &log_;
    WNDCLASSW wc{};
    wc.lpfnWndProc = FillProc;
    wc.lpszClassName = L"PaintFillWindow";
    RegisterClassW(&wc);
  }
  void TearDown() override {
    if (IsWindow(top_)) DestroyWindow(top_);
    Pump();
    UnregisterClassW(L"PaintFillWindow", nullptr);
    g_log = nullptr;
  }

  HWND Make(HWND parent, DWORD style, COLORREF color, int x, int y, int w, int h) {
    HWND hwnd = CreateWindowExW(0, L"PaintFillWindow", L"", style | WS_VISIBLE | (parent ? WS_CHILD : WS_POPUP), x,
                                y, w, h, parent, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(color));
    return hwnd;
  }
  // A 200 x 100 top-level window with a child at (20, 20, 80, 60).
  void MakeParentAndChild(DWORD parentStyle) {
    top_ = Make(nullptr, parentStyle, kRed, 0, 0, 200, 100);
    child_ = Make(top_, 0, kBlue, 20, 20, 60, 40);
    Pump();
    log_ = PaintLog{};
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  COLORREF Pixel(int x, int y) const { return vqtest::SurfacePixel(top_, x, y); }

  PaintLog log_;
  HWND top_ = nullptr;
  HWND child_ = nullptr;
};

TEST_F(WindowPaint, AParentWithoutClipChildrenRepaintsTheChildrenItCovers) {
  MakeParentAndChild(0);
  EXPECT_EQ(Pixel(50, 40), kBlue);
  // An area beside the child leaves it alone.
  RECT beside{100, 0, 200, 100};
  InvalidateRect(top_, &beside, TRUE);
  Pump();
  EXPECT_EQ(log_.paints[top_], 1);
  EXPECT_EQ(log_.paints[child_], 0);
  // An area over part of the child: the parent paints over it, then the
  // child paints that part again, after its parent.
  RECT over{0, 0, 40, 40};
  InvalidateRect(top_, &over, TRUE);
  Pump();
  EXPECT_EQ(log_.paints[top_], 2);
  ASSERT_EQ(log_.paints[child_], 1);
  EXPECT_EQ(log_.order.back(), child_);
  RECT expected{0, 0, 20, 20};
  EXPECT_TRUE(EqualRect(&log_.lastPaintRect[child_], &expected));
  EXPECT_EQ(log_.erases[child_], 1);
  EXPECT_EQ(Pixel(25, 25), kBlue);
  EXPECT_EQ(Pixel(10, 10), kRed);
}

TEST_F(WindowPaint, AParentWithClipChildrenPaintsAroundThem) {
  MakeParentAndChild(WS_CLIPCHILDREN);
  EXPECT_EQ(Pixel(50, 40), kBlue);
  InvalidateRect(top_, nullptr, TRUE);
  Pump();
  EXPECT_EQ(log_.paints[top_], 1);
  EXPECT_EQ(log_.paints[child_], 0);
  EXPECT_EQ(Pixel(50, 40), kBlue);
  EXPECT_EQ(Pixel(20, 20), kBlue);
  EXPECT_EQ(Pixel(19, 19), kRed);
  // GetDC is clipped the same way.
  HDC dc = GetDC(top_);
  HBRUSH brush = CreateSolidBrush(kYellow);
  RECT all{0, 0, 200, 100};
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  ReleaseDC(top_, dc);
  EXPECT_EQ(Pixel(50, 40), kBlue);
  EXPECT_EQ(Pixel(150, 40), kYellow);
}

TEST_F(WindowPaint, ClipSiblingsKeepsAWindowOffTheSiblingsAboveIt) {
  top_ = Make(nullptr, WS_CLIPCHILDREN, kRed, 0, 0, 200, 100);
  // `upper` is created first: it is above `lower` in the z-order.
  HWND upper = Make(top_, 0, kYellow, 10, 10, 60, 60);
  HWND clipped = Make(top_, WS_CLIPSIBLINGS, kGreen, 40, 40, 60, 50);
  HWND unclipped = Make(top_, 0, kBlue, 120, 10, 60, 60);
  Pump();
  EXPECT_EQ(GetWindow(upper, GW_HWNDNEXT), clipped);
  EXPECT_EQ(Pixel(50, 50), kYellow) << "the overlap belongs to the upper sibling";
  EXPECT_EQ(Pixel(80, 80), kGreen);
  // Invalidating only the lower sibling does not reach into the overlap.
  InvalidateRect(clipped, nullptr, TRUE);
  Pump();
  EXPECT_EQ(log_.paints[clipped], 2);
  EXPECT_EQ(Pixel(50, 50), kYellow);
  // Without WS_CLIPSIBLINGS a lower sibling paints over the upper one.
  SetWindowPos(unclipped, nullptr, 30, 30, 60, 60, SWP_NOZORDER | SWP_NOREDRAW);
  SetWindowPos(unclipped, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW);
  InvalidateRect(unclipped, nullptr, TRUE);
  Pump();
  EXPECT_EQ(Pixel(35, 35), kBlue);
}

TEST_F(WindowPaint, OneEraseAndOnePaintServeTheWholeUpdateRegion) {
  top_ = Make(nullptr, 0, kRed, 0, 0, 200, 100);
  Pump();
  SetWindowLongPtrW(top_, GWLP_USERDATA, static_cast<LONG_PTR>(kBlue));
  log_ = PaintLog{};
  RECT left{0, 0, 10, 10}, right{150, 50, 160, 60};
  InvalidateRect(top_, &left, TRUE);
  InvalidateRect(top_, &right, FALSE);
  RECT bounds{};
  EXPECT_TRUE(GetUpdateRect(top_, &bounds, FALSE));
  RECT expected{0, 0, 160, 60};
  EXPECT_TRUE(EqualRect(&bounds, &expected));
  Pump();
  EXPECT_EQ(log_.paints[top_], 1);
  EXPECT_EQ(log_.erases[top_], 1);
  EXPECT_TRUE(EqualRect(&log_.lastPaintRect[top_], &expected));
  // Only the two rectangles were drawn, not everything between them.
  EXPECT_EQ(Pixel(5, 5), kBlue);
  EXPECT_EQ(Pixel(155, 55), kBlue);
  EXPECT_EQ(Pixel(80, 30), kRed);
  // Validating part of the region leaves the rest due.
  InvalidateRect(top_, &left, FALSE);
  InvalidateRect(top_, &right, FALSE);
  ValidateRect(top_, &left);
  EXPECT_TRUE(GetUpdateRect(top_, &bounds, FALSE));
  EXPECT_TRUE(EqualRect(&bounds, &right));
  ValidateRect(top_, &right);
  EXPECT_FALSE(GetUpdateRect(top_, &bounds, FALSE));
}

TEST_F(WindowPaint, ParentsPaintBeforeTheirChildrenWhateverTheOrderOfInvalidation) {
  MakeParentAndChild(0);
  InvalidateRect(child_, nullptr, TRUE);
  InvalidateRect(top_, nullptr, TRUE);
  Pump();
  ASSERT_EQ(log_.order.size(), 2u);
  EXPECT_EQ(log_.order[0], top_);
  EXPECT_EQ(log_.order[1], child_);
  EXPECT_EQ(Pixel(50, 40), kBlue);
  // UpdateWindow paints the window and then its invalid children at once.
  InvalidateRect(top_, nullptr, TRUE);
  UpdateWindow(top_);
  EXPECT_EQ(log_.paints[top_], 2);
  EXPECT_EQ(log_.paints[child_], 2);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

TEST_F(WindowPaint, AChildOfAnotherThreadKeepsItsOwnSurfaceAndIsNotRepainted) {
  top_ = Make(nullptr, 0, kRed, 0, 0, 200, 100);
  Pump();
  vqtest::WindowThread other(L"Other", top_, WS_CHILD | WS_VISIBLE);
  HWND foreign = other.Window();
  SetWindowPos(foreign, nullptr, 20, 20, 60, 40, SWP_NOZORDER);
  // Its own thread paints it; then the parent is invalidated.
  for (int i = 0; i < 5000 && GetUpdateRect(foreign, nullptr, FALSE); ++i) Sleep(1);
  ASSERT_FALSE(GetUpdateRect(foreign, nullptr, FALSE));
  Pump();
  log_ = PaintLog{};
  InvalidateRect(top_, nullptr, TRUE);
  EXPECT_FALSE(GetUpdateRect(foreign, nullptr, FALSE));
  EXPECT_NE(vqplatform::OwnedSurface(foreign), nullptr);
  Pump();
  EXPECT_EQ(log_.paints[top_], 1);
  EXPECT_EQ(log_.paints.count(foreign), 0u);
  other.Stop();
}

}  // namespace

// The owner-painted group box in both styles, and the translucent selection
// dialog: drawing, widening, resizing by a handle, rotation and painting.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiLayered.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/SysColors.h"
#include "platform/win/TestInput.h"
#include "tests/ui/FxButtonTestSupport.h"
#include "ui/TopDlg.h"
#include "ui/XPGroupBox.h"
#include "tests/support/Windows.h"

namespace {

constexpr COLORREF kBorder = RGB(10, 90, 200);
constexpr COLORREF kTitleBack = RGB(250, 230, 120);
constexpr COLORREF kBody = RGB(220, 250, 220);

class GroupBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::FxButtonDialog::RegisterTemplate();
    ASSERT_TRUE(dialog_.Create(vqtest::FxButtonDialog::kTemplate));
    HWND box = CreateWindowExW(0, L"Button", L"Camera", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 20, 120, 200, 80,
                               dialog_.m_hWnd, reinterpret_cast<HMENU>(3001), nullptr, nullptr);
    ASSERT_TRUE(box_.SubclassWindow(box));
  }
  void TearDown() override { dialog_.DestroyWindow(); }
  void Pump() {
    vqtest::DispatchQueued(dialog_.m_hWnd);
  }
  COLORREF Pixel(int x, int y) { return vqtest::PixelOf(box_.m_hWnd, x, y); }
  vqtest::FxButtonDialog dialog_;
  CXPGroupBox box_;
};

TEST_F(GroupBoxTest, FramedStyleInterruptsTheOutlineBehindTheTitle) {
  EXPECT_TRUE(box_.GetStyle() & BS_ICON);  // keeps the standard text away
  // A box the framework creates gets it on the way in too.
  CXPGroupBox created;
  ASSERT_TRUE(created.Create(L"Made", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, RECT{240, 120, 300, 160}, &dialog_, 3002));
  EXPECT_EQ(created.GetStyle() & (BS_ICON | BS_GROUPBOX), static_cast<DWORD>(BS_ICON | BS_GROUPBOX));
  created.DestroyWindow();
  box_.SetBorderColor(kBorder).SetBackgroundColors(kTitleBack, kBody).SetTitleTextColor(RGB(0, 0, 0));
  Pump();
  EXPECT_EQ(box_.GetTitle(), CString(L" Camera "));
  RECT title = box_.GetTitleRect();
  EXPECT_EQ(title.left, 1 + 10);
  EXPECT_EQ(Pixel(1, 50), kBorder);                 // left edge of the outline
  EXPECT_EQ(Pixel(title.left + 1, title.top + 1), kTitleBack);
  EXPECT_EQ(Pixel(100, 50), GetSysColor(COLOR_BTNFACE));  // no fill inside
  box_.SetTitleAlignment(2);
  Pump();
  EXPECT_EQ(box_.GetTitleRect().right, 199 - 10);
}

TEST_F(GroupBoxTest, WindowedStyleFillsBarAndBody) {
  box_.SetStyle(1).SetBorderColor(kBorder).SetBackgroundColors(kTitleBack, kBody).SetTitleAlignment(1);
  Pump();
  RECT title = box_.GetTitleRect();
  EXPECT_EQ(Pixel(100, 60), kBody);
  EXPECT_EQ(Pixel(6, title.top), kTitleBack);
  const int width = title.right - title.left;
  EXPECT_EQ(title.left, 1 + (198 - width) / 2);
}

TEST_F(GroupBoxTest, FontSettersKeepTheDescription) {
  box_.SetFontName(L"A face name that is much longer than thirty-one characters").SetFontBold(true).SetFontSize(12);
  EXPECT_EQ(std::wstring(box_.GetLogFont().lfFaceName).size(), 31u);
  EXPECT_EQ(box_.GetLogFont().lfWeight, FW_BOLD);
  EXPECT_EQ(box_.GetLogFont().lfHeight, -16);
}

class SelectionDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::FxButtonDialog::RegisterTemplate();
    CTopDlg::RegisterTemplate();
    ASSERT_TRUE(parent_.Create(vqtest::FxButtonDialog::kTemplate));
    ASSERT_TRUE(top_.Create(CTopDlg::IDD, &parent_));
    Pump();
  }
  void TearDown() override {
    top_.DestroyWindow();
    parent_.DestroyWindow();
  }
  void Pump() { vqtest::DispatchQueued(); }
  void Mouse(UINT message, int x, int y, WPARAM keys = 0) {
    RECT image = top_.ImageRect();
    top_.SendMessage(message, keys, MAKELPARAM(image.left + x, image.top + y));
  }
  vqtest::FxButtonDialog parent_;
  CTopDlg top_{1600, 1200};
};

TEST_F(SelectionDialogTest, LayeredAndZoomedToTheClientArea) {
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(top_.m_hWnd, &key, &alpha, &flags));
  EXPECT_EQ(key, top_.ColourKey());
  EXPECT_EQ(alpha, 128);
  EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
  RECT client{};
  top_.GetClientRect(&client);
  float zoom = std::min(client.right / 1600.0f, client.bottom / 1200.0f);
  EXPECT_FLOAT_EQ(top_.Zoom(), zoom);
  RECT image = top_.ImageRect();
  EXPECT_EQ(image.right - image.left, static_cast<int>(1600 * zoom));
  EXPECT_EQ(image.left, (client.right - static_cast<int>(1600 * zoom)) / 2);
  // The key colour shows the screen behind; the rest is half transparent.
  EXPECT_EQ(vqplatform::ComposeLayeredPixel(top_.m_hWnd, key, RGB(1, 2, 3)), RGB(1, 2, 3));
  EXPECT_EQ(vqplatform::ComposeLayeredPixel(top_.m_hWnd, RGB(200, 0, 0), RGB(0, 0, 0)), RGB(100, 0, 0));
}

TEST_F(SelectionDialogTest, DrawnRectangleIsWidenedThenResizedByItsCornerHandle) {
  const float zoom = top_.Zoom();
  Mouse(WM_LBUTTONDOWN, 20, 20, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, 40, 30, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, 40, 30);
  MSG msg{};
  EXPECT_TRUE(PeekMessageW(&msg, parent_.m_hWnd, WM_SELECTION_DONE, WM_SELECTION_DONE, PM_REMOVE));
  CDrawRectangle& selection = top_.Selection();
  ASSERT_TRUE(selection.IsPlaced());
  ASSERT_EQ(selection.Points().size(), 2u);
  const float left = 20 / zoom + 1 / (2 * zoom), top = 20 / zoom + 1 / (2 * zoom);
  EXPECT_NEAR(selection.Points()[0].first, left, 1e-3);
  EXPECT_NEAR(selection.Points()[1].first, left + 200, 1e-3);  // widened to 200 image pixels
  EXPECT_NEAR(selection.Points()[1].second, top + 200, 1e-3);

  // Paint: handles are computed, the inside shows the key colour, the line is blue.
  top_.Invalidate(FALSE);
  top_.UpdateWindow();
  RECT bounds = selection.ClientBounds(zoom);
  RECT image = top_.ImageRect();
  EXPECT_EQ(vqtest::PixelOf(top_.m_hWnd, image.left + (bounds.left + bounds.right) / 2,
                            image.top + (bounds.top + bounds.bottom) / 2),
            top_.ColourKey());
  EXPECT_EQ(vqtest::PixelOf(top_.m_hWnd, image.left + bounds.left + (bounds.right - bounds.left) / 4,
                            image.top + bounds.top - 1),  // the 3-pixel line outside the dotted one
            RGB(0, 0, 255));

  // Hover over the bottom-right handle, then drag it by (30, 15).
  const int hx = bounds.right - 1, hy = bounds.bottom - 1;
  Mouse(WM_MOUSEMOVE, hx, hy);
  EXPECT_EQ(selection.GrabbedHandle(), 4);
  Mouse(WM_LBUTTONDOWN, hx, hy, MK_LBUTTON);
  Mouse(WM_MOUSEMOVE, hx + 30, hy + 15, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, hx + 30, hy + 15);
  EXPECT_NEAR(selection.Points()[1].first, left + 200 + 30 / zoom, 1e-2);
  EXPECT_NEAR(selection.Points()[1].second, top + 200 + 15 / zoom, 1e-2);
  EXPECT_NEAR(selection.Points()[0].first, left, 1e-3);  // the opposite corner stays
}

TEST(DrawRectangleRotation, QuarterAndHalfTurnsInsideTheImage) {
  CDrawRectangle selection;
  selection.OnLButtonDown(0, 10, 20, 1.0f);
  selection.OnLButtonUp(0, 300, 400, 1.0f);  // (10, 20) - (300, 400)
  RECT image{0, 0, 1000, 800};
  selection.RotatePoints90(image);
  EXPECT_FLOAT_EQ(selection.Points()[0].first, 800 - 1 - 20);
  EXPECT_FLOAT_EQ(selection.Points()[0].second, 10);
  selection.RotatePoints270(RECT{0, 0, 800, 1000});
  EXPECT_FLOAT_EQ(selection.Points()[0].first, 10);
  EXPECT_FLOAT_EQ(selection.Points()[0].second, 20);
  selection.RotatePoints180(image);
  EXPECT_FLOAT_EQ(selection.Points()[1].first, 1000 - 1 - 300);
  EXPECT_FLOAT_EQ(selection.Points()[1].second, 800 - 1 - 400);
  EXPECT_EQ(selection.ClientBounds(1.0f).left, 699);
}

}  // namespace

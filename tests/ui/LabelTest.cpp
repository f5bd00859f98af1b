// The label control: its flashing text on the timer, links, gradients and
// setters, checked on the pixels it draws.
#include "ui/Label.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/win/Clock.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/Shell.h"
#include "platform/win/SysColors.h"
#include "platform/win/TestInput.h"
#include "tests/ui/FxButtonTestSupport.h"
#include "tests/support/Windows.h"

namespace {

constexpr COLORREF kInk = RGB(200, 0, 0);
constexpr COLORREF kPaper = RGB(250, 250, 210);

class LabelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::FxButtonDialog::RegisterTemplate();
    ASSERT_TRUE(dialog_.Create(vqtest::FxButtonDialog::kTemplate));
    ASSERT_TRUE(label_.SubclassDlgItem(2014, &dialog_));
    vqplatform::ClearRecordedShellCalls();
  }
  void TearDown() override { dialog_.DestroyWindow(); }
  void Pump() {
    vqtest::DispatchQueued(dialog_.m_hWnd);
  }
  // Pixels of the label in the ink colour.
  int InkPixels() {
    RECT client{};
    label_.GetClientRect(&client);
    HDC dc = GetDC(label_.m_hWnd);
    int count = 0;
    for (int y = 0; y < client.bottom; ++y)
      for (int x = 0; x < client.right; ++x)
        if (GetPixel(dc, x, y) == kInk) ++count;
    ReleaseDC(label_.m_hWnd, dc);
    return count;
  }
  vqplatform::ManualClockScope clock_;
  vqtest::FxButtonDialog dialog_;
  CLabel label_;
};

TEST_F(LabelTest, FlashingTextHidesAndShowsOnItsTimer) {
  label_.SetFontName(L"Arial").SetFontSize(12).SetFontBold(true);
  label_.SetBkColor(kPaper).SetTextColor(kInk).SetText(L"WORKING");
  Pump();
  ASSERT_GT(InkPixels(), 20);
  label_.FlashText(true);
  label_.Invalidate();
  Pump();
  EXPECT_EQ(InkPixels(), 0);  // hidden phase: ink in the background colour
  vqplatform::Clock::Advance(500);
  Pump();
  EXPECT_TRUE(label_.IsFlashOn());
  EXPECT_GT(InkPixels(), 20);
  vqplatform::Clock::Advance(500);
  Pump();
  EXPECT_FALSE(label_.IsFlashOn());
  EXPECT_EQ(InkPixels(), 0);
  // Turning flashing off shows the text even from the hidden phase.
  label_.FlashText(false);
  Pump();
  EXPECT_GT(InkPixels(), 20);
  vqplatform::Clock::Advance(1500);
  Pump();
  EXPECT_FALSE(label_.IsFlashOn());
}

TEST_F(LabelTest, WebLinkOpensTargetOrItsOwnTextAndMailLinkOpensAnAddress) {
  label_.SetText(L"https://example.org/own");
  label_.SetLink(true, 0);
  EXPECT_TRUE(label_.GetStyle() & SS_NOTIFY);
  label_.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  label_.SetLinkUrl(L"https://example.org/target");
  label_.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  label_.SetText(L"someone@example.org");
  label_.SetMailLink(true, 0);
  label_.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  auto calls = vqplatform::RecordedShellCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].target, L"https://example.org/own");
  EXPECT_EQ(calls[1].target, L"https://example.org/target");
  EXPECT_EQ(calls[2].target, L"mailto:someone@example.org");
  label_.SetLink(false, 0);
  EXPECT_FALSE(label_.GetStyle() & SS_NOTIFY);
  label_.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  EXPECT_EQ(vqplatform::RecordedShellCalls().size(), 3u);
}

TEST_F(LabelTest, NotifyingLinkTellsTheParentInstead) {
  label_.SetLink(true, 1);
  UINT seen = 0;
  HWND parent = dialog_.m_hWnd;
  // The dialog's map has no entry: look at the message through a hook proc.
  WNDPROC previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(parent, GWLP_WNDPROC));
  static UINT* s_seen = nullptr;
  static WNDPROC s_previous = nullptr;
  s_seen = &seen;
  s_previous = previous;
  SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_NOTIFY) *s_seen = reinterpret_cast<NMHDR*>(l)->code;
    return CallWindowProcW(s_previous, h, m, w, l);
  }));
  label_.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SetWindowLongPtrW(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  EXPECT_EQ(seen, static_cast<UINT>(NM_LINKCLICK));
  EXPECT_TRUE(vqplatform::RecordedShellCalls().empty());
}

TEST_F(LabelTest, GradientAndBrushes) {
  label_.SetBkColor(RGB(0, 0, 0), RGB(255, 0, 0), true);
  EXPECT_FALSE(label_.HasBackgroundBrush());
  label_.SetBkColor(kPaper);
  EXPECT_TRUE(label_.HasBackgroundBrush());
  // A narrow rectangle: one band per column, from colour1 to colour2.
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateBitmap(60, 4, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT rect{0, 0, 50, 4};
  CLabel::FillGradient(dc, rect, RGB(0, 0, 0), RGB(250, 0, 0), 100);
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(5, 0, 0));
  EXPECT_EQ(GetPixel(dc, 49, 1), RGB(245, 0, 0));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

// What a window shows, pixel by pixel.
std::vector<COLORREF> PixelsOf(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  HDC dc = GetDC(window);
  std::vector<COLORREF> pixels;
  for (int y = 0; y < client.bottom; ++y)
    for (int x = 0; x < client.right; ++x) pixels.push_back(GetPixel(dc, x, y));
  ReleaseDC(window, dc);
  return pixels;
}

TEST(LabelWithoutWindow, TextSetBeforeTheWindowExistsIsNotKept) {
  vqtest::FxButtonDialog::RegisterTemplate();
  vqtest::FxButtonDialog dialog;
  ASSERT_TRUE(dialog.Create(vqtest::FxButtonDialog::kTemplate));
  CLabel label;
  label.SetText(L"lost");
  ASSERT_TRUE(label.SubclassDlgItem(2014, &dialog));
  label.SetFontName(L"Arial").SetFontSize(12).SetBkColor(kPaper).SetTextColor(kInk);
  vqtest::DispatchQueued(dialog.m_hWnd);
  CString text;
  label.GetWindowText(text);
  EXPECT_EQ(text, CString(L"in the group"));
  // It draws the template's text, and "lost" would look otherwise.
  std::vector<COLORREF> shown = PixelsOf(label.m_hWnd);
  EXPECT_GT(std::count(shown.begin(), shown.end(), kInk), 20);
  label.SetText(L"in the group");
  vqtest::DispatchQueued(dialog.m_hWnd);
  EXPECT_EQ(PixelsOf(label.m_hWnd), shown);
  label.SetText(L"lost");
  vqtest::DispatchQueued(dialog.m_hWnd);
  EXPECT_NE(PixelsOf(label.m_hWnd), shown);
  dialog.DestroyWindow();
}

}  // namespace

// Skinned buttons driven by the test mouse: the picture of each state as
// drawn, the regions cut by the key colour, radio groups and check boxes.
#include "ui/FxButton.h"

#include <gtest/gtest.h>

#include "platform/win/GdiObjects.h"
#include "platform/win/GdiRegion.h"
#include "platform/win/MousePointer.h"
#include "platform/win/SysColors.h"
#include "platform/win/TestInput.h"
#include "platform/win/WindowSurfaces.h"
#include "tests/ui/FxButtonTestSupport.h"
#include "tests/ui/ScreenshotSupport.h"
#include "tests/support/Windows.h"

namespace {

constexpr COLORREF kNormal = RGB(200, 40, 40);
constexpr COLORREF kPressed = RGB(40, 160, 40);
constexpr COLORREF kHover = RGB(40, 40, 220);
constexpr int kPictureWidth = 60, kPictureHeight = 24, kFrame = 3;

class FxButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::FxButtonDialog::RegisterTemplate();
    vqtest::RegisterPicture(901, vqtest::FramedPicture(kPictureWidth, kPictureHeight, kFrame, kNormal));
    vqtest::RegisterPicture(902, vqtest::FramedPicture(kPictureWidth, kPictureHeight, kFrame, kPressed));
    vqtest::RegisterPicture(903, vqtest::FramedPicture(kPictureWidth, kPictureHeight, kFrame, kHover));
    ASSERT_TRUE(dialog_.Create(vqtest::FxButtonDialog::kTemplate));
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(push_[i].SubclassDlgItem(2001 + i, &dialog_));
      vqtest::SkinLikeMainWindow(push_[i], 901, 902, 903);
    }
    Pump();
  }
  void TearDown() override {
    dialog_.DestroyWindow();
    Pump();
  }
  void Pump() {
    vqtest::DispatchQueued(dialog_.m_hWnd);
  }
  POINT Centre(HWND button) {
    RECT client{};
    GetClientRect(button, &client);
    return POINT{client.right / 2, client.bottom / 2};
  }
  COLORREF CentrePixel(CFxButton& button) {
    POINT c = Centre(button.m_hWnd);
    return vqtest::PixelOf(button.m_hWnd, c.x, c.y);
  }
  // A point of the dialog away from every button.
  void MoveAway() {
    vqplatform::MoveMouse(dialog_.m_hWnd, POINT{2, 2});
    Pump();
  }

  vqtest::FxButtonDialog dialog_;
  CFxButton push_[3];
};

TEST_F(FxButtonTest, LayoutCentresPicturesAndCutsTheKeyColour) {
  CFxButton& button = push_[0];
  EXPECT_TRUE(button.IsLayoutDone());
  EXPECT_EQ(button.ButtonType(), CFxButton::TYPE_PUSH);
  RECT client{};
  GetClientRect(button.m_hWnd, &client);
  CRect picture = button.PictureRect(CFxButton::STATE_NORMAL);
  EXPECT_EQ(picture.Width(), kPictureWidth);
  EXPECT_EQ(picture.left, 1 + (client.right - 2) / 2 - kPictureWidth / 2);
  HRGN region = button.PictureRegion(CFxButton::STATE_NORMAL);
  ASSERT_NE(region, nullptr);
  EXPECT_TRUE(PtInRegion(region, picture.left + kFrame, picture.top + kFrame));
  EXPECT_FALSE(PtInRegion(region, picture.left + kFrame - 1, picture.top + kFrame));
  EXPECT_FALSE(PtInRegion(region, picture.left, picture.top));
  // The rounded outline: the corner pixel is outside the window's shape.
  HRGN shape = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(button.m_hWnd, shape), ERROR);
  EXPECT_FALSE(PtInRegion(shape, 0, 0));
  EXPECT_TRUE(PtInRegion(shape, client.right / 2, client.bottom / 2));
  DeleteObject(shape);
  // Drawn: the normal picture inside, the face colour where the key was.
  EXPECT_EQ(button.CurrentState(), CFxButton::STATE_NORMAL);
  EXPECT_EQ(CentrePixel(button), kNormal);
  EXPECT_EQ(vqtest::PixelOf(button.m_hWnd, picture.left + 1, picture.top + kPictureHeight / 2),
            GetSysColor(COLOR_BTNFACE));
}

TEST_F(FxButtonTest, HoverShowsTheHoverPictureUntilTheMouseLeaves) {
  CFxButton& button = push_[1];
  vqplatform::MoveMouse(button.m_hWnd, Centre(button.m_hWnd));
  Pump();
  EXPECT_TRUE(button.IsHover());
  EXPECT_EQ(button.CurrentState(), CFxButton::STATE_HOVER);
  EXPECT_EQ(CentrePixel(button), kHover);
  EXPECT_EQ(CentrePixel(push_[0]), kNormal);
  MoveAway();
  EXPECT_FALSE(button.IsHover());
  EXPECT_EQ(button.CurrentState(), CFxButton::STATE_NORMAL);
  EXPECT_EQ(CentrePixel(button), kNormal);
}

TEST_F(FxButtonTest, PressShowsPressedPictureAndReleaseClicks) {
  CFxButton& button = push_[0];
  POINT c = Centre(button.m_hWnd);
  vqplatform::MoveMouse(button.m_hWnd, c);
  Pump();
  vqplatform::PressLeft(button.m_hWnd, c);
  Pump();
  EXPECT_EQ(button.CurrentState(), CFxButton::STATE_PRESSED);
  EXPECT_EQ(CentrePixel(button), kPressed);
  vqplatform::ReleaseLeft(button.m_hWnd, c);
  Pump();
  ASSERT_EQ(dialog_.clicks.size(), 1u);
  EXPECT_EQ(dialog_.clicks[0], 2001);
  EXPECT_NE(button.CurrentState(), CFxButton::STATE_PRESSED);
  EXPECT_FALSE(button.IsChecked());
}

TEST_F(FxButtonTest, DraggingOffThePressedButtonReleasesItsLookAndClicksNothing) {
  CFxButton& first = push_[0];
  CFxButton& second = push_[1];
  vqplatform::MoveMouse(first.m_hWnd, Centre(first.m_hWnd));
  Pump();
  vqplatform::PressLeft(first.m_hWnd, Centre(first.m_hWnd));
  Pump();
  ASSERT_EQ(first.CurrentState(), CFxButton::STATE_PRESSED);
  vqplatform::MoveMouse(second.m_hWnd, Centre(second.m_hWnd), true);
  Pump();
  // The first button holds the capture: its pressed look follows the cursor.
  EXPECT_NE(first.CurrentState(), CFxButton::STATE_PRESSED);
  EXPECT_EQ(CentrePixel(first), kNormal);
  EXPECT_EQ(CentrePixel(second), kNormal);
  // Back onto the first: pressed again.
  vqplatform::MoveMouse(first.m_hWnd, Centre(first.m_hWnd), true);
  Pump();
  EXPECT_EQ(first.CurrentState(), CFxButton::STATE_PRESSED);
  vqplatform::MoveMouse(second.m_hWnd, Centre(second.m_hWnd), true);
  Pump();
  vqplatform::ReleaseLeft(second.m_hWnd, Centre(second.m_hWnd));
  Pump();
  EXPECT_TRUE(dialog_.clicks.empty());
  EXPECT_NE(second.CurrentState(), CFxButton::STATE_PRESSED);
}

TEST_F(FxButtonTest, PushButtonsStayUncheckedAndSettersFollowTheirRules) {
  CFxButton& button = push_[2];
  button.SendMessage(BM_SETCHECK, 1);
  EXPECT_EQ(button.SendMessage(BM_GETCHECK), 0);
  for (int state = CFxButton::STATE_NORMAL; state <= CFxButton::STATE_DISABLED; ++state) {
    EXPECT_EQ(button.BorderWidth(state), 0);
    EXPECT_TRUE(button.KeySet(state));
    EXPECT_EQ(button.KeyColour(state), RGB(0, 0, 0));
    EXPECT_TRUE(button.Caption(state).IsEmpty());
  }
  button.SetBorderWidths(1, false, 2, 2, 2);
  EXPECT_EQ(button.BorderWidth(CFxButton::STATE_NORMAL), 1);
  EXPECT_EQ(button.BorderWidth(CFxButton::STATE_PRESSED), 0);
  button.SetCaptions(L"Go", true, L"", L"Hover", L"");
  EXPECT_EQ(button.Caption(CFxButton::STATE_PRESSED), CString(L"Go"));
  EXPECT_EQ(button.Caption(CFxButton::STATE_HOVER), CString(L"Hover"));
  EXPECT_NE(button.TooltipWindow(), nullptr);
}

TEST_F(FxButtonTest, DisabledButtonWithoutPictureShowsBackgroundAndNoOutline) {
  CFxButton& button = push_[2];
  EnableWindow(button.m_hWnd, FALSE);
  Pump();
  EXPECT_EQ(button.CurrentState(), CFxButton::STATE_DISABLED);
  EXPECT_EQ(CentrePixel(button), GetSysColor(COLOR_BTNFACE));
  HRGN shape = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(button.m_hWnd, shape), ERROR);
  DeleteObject(shape);
}

TEST_F(FxButtonTest, RadioButtonsUncheckEachOther) {
  CFxButton radio[3];
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(radio[i].SubclassDlgItem(2011 + i, &dialog_));
    EXPECT_EQ(radio[i].ButtonType(), CFxButton::TYPE_RADIO);
    radio[i].UpdateLayout(nullptr, 0, 0xFFFFFFFF, i == 0 ? 1 : 0);
  }
  Pump();
  EXPECT_TRUE(radio[0].IsChecked());
  vqplatform::MoveMouse(radio[2].m_hWnd, Centre(radio[2].m_hWnd));
  Pump();
  vqplatform::PressLeft(radio[2].m_hWnd, Centre(radio[2].m_hWnd));
  Pump();
  vqplatform::ReleaseLeft(radio[2].m_hWnd, Centre(radio[2].m_hWnd));
  Pump();
  EXPECT_TRUE(radio[2].IsChecked());
  EXPECT_FALSE(radio[0].IsChecked());
  EXPECT_FALSE(radio[1].IsChecked());
  EXPECT_EQ(radio[2].CurrentState(), CFxButton::STATE_PRESSED);  // the checked look
  // A posted uncheck to a button that is not checked changes nothing.
  radio[1].PostMessage(WM_FXBUTTON_UNCHECK);
  Pump();
  EXPECT_FALSE(radio[1].IsChecked());
  EXPECT_TRUE(radio[2].IsChecked());
}

TEST_F(FxButtonTest, PressThatStartsOutsideDoesNotToggleACheckBox) {
  CFxButton check;
  ASSERT_TRUE(check.SubclassDlgItem(2021, &dialog_));
  check.UpdateLayout(nullptr, 0, 0xFFFFFFFF, 0);
  EXPECT_EQ(check.ButtonType(), CFxButton::TYPE_CHECK);
  POINT c = Centre(check.m_hWnd);
  // Left button down elsewhere, then moved in and released.
  vqplatform::MoveMouse(check.m_hWnd, c, true);
  Pump();
  check.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
  Pump();
  EXPECT_FALSE(check.IsChecked());
  vqplatform::PressLeft(check.m_hWnd, c);
  Pump();
  vqplatform::ReleaseLeft(check.m_hWnd, c);
  Pump();
  EXPECT_TRUE(check.IsChecked());
  check.SendMessage(WM_KEYDOWN, VK_SPACE);
  EXPECT_FALSE(check.IsChecked());
}

TEST(FxButtonRegion, RunsEndAtKeyPixelsAndTheLastColumnCounts) {
  // Row 0: opaque, key, opaque, opaque; row 1: key, key, key, opaque.
  const BYTE black[3] = {0, 0, 0}, white[3] = {255, 255, 255};
  const BYTE* rows[2][4] = {{white, black, white, white}, {black, black, black, white}};
  BYTE bits[2][12];
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 3; ++c) bits[y][x * 3 + c] = rows[y][x][c];
  HRGN region = CFxButton::RegionFromBitmap(&bits[0][0], 12, 4, 2, RGB(0, 0, 0), RGB(0, 0, 0));
  EXPECT_TRUE(PtInRegion(region, 0, 0));
  EXPECT_FALSE(PtInRegion(region, 1, 0));
  EXPECT_TRUE(PtInRegion(region, 3, 0));
  EXPECT_FALSE(PtInRegion(region, 2, 1));
  EXPECT_TRUE(PtInRegion(region, 3, 1));
  RECT box{};
  GetRgnBox(region, &box);
  EXPECT_EQ(box.right, 4);
  DeleteObject(region);
}

TEST(FxButtonEdges, DerivedColoursTruncate) {
  COLORREF base = RGB(100, 200, 11);
  EXPECT_EQ(CFxButton::DeriveEdgeColour(base, 1, CFxButton::EDGE_STYLE_RAISED), RGB(255, 255, 255));
  EXPECT_EQ(CFxButton::DeriveEdgeColour(base, 2, CFxButton::EDGE_STYLE_RAISED), RGB(162, 222, 108));
  EXPECT_EQ(CFxButton::DeriveEdgeColour(base, 3, CFxButton::EDGE_STYLE_RAISED), RGB(50, 100, 5));
  EXPECT_EQ(CFxButton::DeriveEdgeColour(base, 4, CFxButton::EDGE_STYLE_SUNKEN), RGB(162, 222, 108));
  EXPECT_EQ(CFxButton::DeriveEdgeColour(base, 2, CFxButton::EDGE_STYLE_SUNKEN), RGB(70, 140, 7));
  EXPECT_EQ(CFxButton::DeriveEdgeColour(base, 3, CFxButton::EDGE_STYLE_FLAT), base);
}

}  // namespace

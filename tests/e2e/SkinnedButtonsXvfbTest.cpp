// A dialog with a row of skinned buttons in their normal, hover and pressed
// looks, shown on a real X server and grabbed from it; the hover look ends
// when a user's pointer leaves a button it clicked.
#include <gtest/gtest.h>

#include <chrono>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <functional>

#include "platform/display/Presenter.h"
#include "platform/mfc/CDialog.h"
#include "platform/win/DialogTemplate.h"
#include "platform/win/SysColors.h"
#include "platform/win/BitmapResources.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/MousePointer.h"
#include "platform/win/TestInput.h"
#include "resources/Resources.h"
#include "tests/e2e/XServer.h"
#include "tests/support/TestEnv.h"
#include "ui/FxButton.h"
#include "tests/support/Windows.h"

namespace {

using namespace std::chrono_literals;

constexpr UINT kTemplate = 9102;

// Three push buttons in a row.
void RegisterTemplate() {
  static const DialogTemplate dialog{WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 40, 40, 164, 42, L"Skinned buttons", L"", 9,
                                     {
                                         {2001, L"Button", L"", BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, 8, 10, 44, 22},
                                         {2002, L"Button", L"", BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, 60, 10, 44, 22},
                                         {2003, L"Button", L"", BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, 112, 10, 44, 22},
                                     }};
  vqplatform::RegisterDialogTemplate(static_cast<int>(kTemplate), &dialog);
}

// The build's generated pictures lie in "bitmaps" two folders above the
// test program.
std::string SkinFolder() {
  char self[4096] = {};
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return "";
  return (std::filesystem::path(std::string(self, static_cast<size_t>(length))).parent_path().parent_path().parent_path() /
          "bitmaps").string();
}

void SkinLikeMainWindow(CFxButton& button, UINT normal, UINT pressed, UINT hover) {
  button.SetCaptions(L"", true, L"", L"", L"");
  button.SetBitmaps(normal, false, pressed, hover, 0);
  button.m_cornerSize = CSize(8, 8);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  button.SetTransparentColors(RGB(0, 0, 0), true, face, face, face);
  button.SetBorderWidths(0, true, 2, 2, 2);
  button.UpdateLayout(nullptr, 0, 0xFFFFFFFF, 0);
}

// The row of buttons on a dialog shown on the X server, skinned as the main
// window's.
class SkinnedButtonsXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    ASSERT_TRUE(server_.Connected());
    std::string skins = SkinFolder();
    ASSERT_TRUE(std::filesystem::exists(skins + "/164.png")) << skins;
    setenv("VQ_BITMAP_DIR", skins.c_str(), 1);
    RegisterTemplate();
    vqres::LoadResources();
    // Shown by its template's WS_VISIBLE: that alone brings the presenter up.
    ASSERT_TRUE(dialog_.Create(kTemplate));
    ASSERT_TRUE(IsWindowVisible(dialog_.m_hWnd));
    dialog_.UpdateWindow();
    const UINT pictures[3][3] = {{151, 166, 179}, {152, 167, 180}, {153, 168, 181}};  // normal, pressed, hover
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(buttons_[i].SubclassDlgItem(2001 + i, &dialog_));
      SkinLikeMainWindow(buttons_[i], pictures[i][0], pictures[i][1], pictures[i][2]);
    }
    Pump();
  }
  void TearDown() override {
    if (dialog_.m_hWnd) dialog_.DestroyWindow();
    vqplatform::StopPresenter();
    unsetenv("VQ_BITMAP_DIR");
  }
  void Pump() { vqtest::DispatchQueued(dialog_.m_hWnd); }
  // Waits, serving the dialog, until the condition holds.
  static bool PumpUntil(const std::function<bool()>& condition) { return vqtest::Pump(condition); }
  // A pixel of the button's face near its bottom edge, where the looks differ.
  POINT FacePoint(CFxButton& button) {
    RECT r{};
    GetWindowRect(button.m_hWnd, &r);
    return POINT{(r.left + r.right) / 2, r.bottom - 4};
  }
  // What the window's thread drew, handled and on the server.
  bool Shown() {
    Pump();
    return vqplatform::FlushPresenter(2000);
  }
  uint32_t ShownAt(POINT screen) {
    return server_.Grab(RECT{screen.x, screen.y, screen.x + 1, screen.y + 1}).pixels[0];
  }

  vqtest::XServer server_;
  CDialog dialog_;
  CFxButton buttons_[3];
};

TEST_F(SkinnedButtonsXvfbTest, RowOfButtonsInTheirThreeLooksOnTheServer) {
  RECT client{};
  GetClientRect(buttons_[1].m_hWnd, &client);
  vqplatform::MoveMouse(buttons_[1].m_hWnd, POINT{client.right / 2, client.bottom / 2});
  Pump();
  buttons_[2].SetState(TRUE);
  Pump();
  EXPECT_EQ(buttons_[0].CurrentState(), CFxButton::STATE_NORMAL);
  EXPECT_EQ(buttons_[1].CurrentState(), CFxButton::STATE_HOVER);
  EXPECT_EQ(buttons_[2].CurrentState(), CFxButton::STATE_PRESSED);

  // Wait until the server shows exactly what the layer drew.
  RECT screen{};
  GetWindowRect(dialog_.m_hWnd, &screen);
  vqtest::Screenshot shot;
  size_t differences = SIZE_MAX;
  PumpUntil([&] {
    if (!vqplatform::PresentedXWindow(dialog_.m_hWnd) || !vqplatform::FlushPresenter(2000)) return false;
    vqplatform::WindowImage layer;
    vqplatform::ComposeWindowImage(dialog_.m_hWnd, &layer);
    shot = server_.Grab(screen);
    differences = shot.CountDifferences(layer);
    return differences == 0;
  });
  EXPECT_TRUE(vqplatform::PresenterActive());
  EXPECT_NE(vqplatform::PresentedXWindow(dialog_.m_hWnd), 0u);
  EXPECT_EQ(differences, 0u);
  ASSERT_GT(shot.width, 0);
  EXPECT_TRUE(shot.SavePng(vqtest::ScreenshotPath("skinned-buttons-xvfb.png")));
  // The three looks differ on the server: a face pixel near each bottom-left.
  auto faceOf = [&](CFxButton& button) {
    POINT p = FacePoint(button);
    return shot.pixels[static_cast<size_t>((p.y - screen.top) * shot.width + p.x - screen.left)];
  };
  EXPECT_NE(faceOf(buttons_[0]), faceOf(buttons_[2]));
}

// A user's pointer over a button, a click, and the pointer gone from the
// window: the button looks as it did before the pointer came, as on
// Windows, whether the pointer went to another button or off the window.
TEST_F(SkinnedButtonsXvfbTest, HoverLookEndsWhenThePointerLeavesAfterAClick) {
  ASSERT_TRUE(
      PumpUntil([&] { return vqplatform::PresentedXWindow(dialog_.m_hWnd) && vqplatform::FlushPresenter(2000); }));
  RECT dialog{};
  GetWindowRect(dialog_.m_hWnd, &dialog);
  const POINT outside{dialog.right + 40, dialog.bottom + 40};
  for (int target : {0, 1}) {
    CFxButton& button = buttons_[target];
    const POINT face = FacePoint(button);
    const uint32_t normal = ShownAt(face);
    RECT r{};
    GetWindowRect(button.m_hWnd, &r);
    const POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    server_.MovePointer(middle);
    ASSERT_TRUE(PumpUntil([&] { return button.CurrentState() == CFxButton::STATE_HOVER; })) << "no hover";
    ASSERT_TRUE(Shown());
    EXPECT_NE(ShownAt(face), normal) << "no hover look";
    server_.Click(middle);
    // Off the window, or onto the next button of the row.
    const POINT away = target == 0 ? outside : vqtest::MiddleOf(buttons_[2].m_hWnd);
    server_.MovePointer(away);
    EXPECT_TRUE(PumpUntil([&] { return button.CurrentState() == CFxButton::STATE_NORMAL; }))
        << "button " << target << " kept its hover: state " << button.CurrentState();
    ASSERT_TRUE(Shown());
    EXPECT_EQ(ShownAt(face), normal) << "button " << target << " kept its hover look: shown " << std::hex
                                     << ShownAt(face) << " normal " << normal;
    server_.Grab(dialog).SavePng(vqtest::ScreenshotPath("skinned-button-left-" + std::to_string(target) + ".png"));
    server_.MovePointer(outside);
  }
}

}  // namespace

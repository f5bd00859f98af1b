// A dialog with a row of skinned buttons in their normal, hover and pressed
// looks, shown on a real X server and grabbed from it.
#include <gtest/gtest.h>

#include <chrono>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <functional>
#include <thread>

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

TEST(SkinnedButtonsXvfbTest, RowOfButtonsInTheirThreeLooksOnTheServer) {
  vqtest::UseXvfbDisplay();
  vqtest::XServer server;
  ASSERT_TRUE(server.Connected());
  std::string skins = SkinFolder();
  ASSERT_TRUE(std::filesystem::exists(skins + "/164.png")) << skins;
  setenv("VQ_BITMAP_DIR", skins.c_str(), 1);
  RegisterTemplate();
  vqres::LoadResources();
  CDialog dialog;
  // Shown by its template's WS_VISIBLE: that alone brings the presenter up.
  ASSERT_TRUE(dialog.Create(kTemplate));
  ASSERT_TRUE(IsWindowVisible(dialog.m_hWnd));
  dialog.UpdateWindow();
  CFxButton buttons[3];
  const UINT pictures[3][3] = {{151, 166, 179}, {152, 167, 180}, {153, 168, 181}};  // normal, pressed, hover
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(buttons[i].SubclassDlgItem(2001 + i, &dialog));
    SkinLikeMainWindow(buttons[i], pictures[i][0], pictures[i][1], pictures[i][2]);
  }
  auto pump = [&] {
    for (int i = 0; i < 4; ++i) vqplatform::PumpMessages(dialog.m_hWnd);
  };
  pump();
  RECT client{};
  GetClientRect(buttons[1].m_hWnd, &client);
  vqplatform::MoveMouse(buttons[1].m_hWnd, POINT{client.right / 2, client.bottom / 2});
  pump();
  buttons[2].SetState(TRUE);
  pump();
  EXPECT_EQ(buttons[0].CurrentState(), CFxButton::STATE_NORMAL);
  EXPECT_EQ(buttons[1].CurrentState(), CFxButton::STATE_HOVER);
  EXPECT_EQ(buttons[2].CurrentState(), CFxButton::STATE_PRESSED);

  // Wait until the server shows exactly what the layer drew.
  RECT screen{};
  GetWindowRect(dialog.m_hWnd, &screen);
  vqtest::Screenshot shot;
  size_t differences = SIZE_MAX;
  auto end = std::chrono::steady_clock::now() + vqtest::kPatience;
  while (std::chrono::steady_clock::now() < end) {
    pump();
    if (vqplatform::PresentedXWindow(dialog.m_hWnd) && vqplatform::FlushPresenter(2000)) {
      vqplatform::WindowImage layer;
      vqplatform::ComposeWindowImage(dialog.m_hWnd, &layer);
      shot = server.Grab(screen);
      differences = shot.CountDifferences(layer.pixels, layer.width, layer.height);
      if (differences == 0) break;
    }
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_TRUE(vqplatform::PresenterActive());
  EXPECT_NE(vqplatform::PresentedXWindow(dialog.m_hWnd), 0u);
  EXPECT_EQ(differences, 0u);
  ASSERT_GT(shot.width, 0);
  EXPECT_TRUE(shot.SavePng(vqtest::ScreenshotPath("skinned-buttons-xvfb.png")));
  // The three looks differ on the server: a face pixel near each bottom-left.
  auto faceOf = [&](CFxButton& button) {
    RECT r{};
    GetWindowRect(button.m_hWnd, &r);
    int x = r.left - screen.left + (r.right - r.left) / 2, y = r.bottom - screen.top - 4;
    return shot.pixels[static_cast<size_t>(y * shot.width + x)];
  };
  EXPECT_NE(faceOf(buttons[0]), faceOf(buttons[2]));
  dialog.DestroyWindow();
  vqplatform::StopPresenter();
  unsetenv("VQ_BITMAP_DIR");
}

}  // namespace

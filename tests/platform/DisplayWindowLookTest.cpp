// What the window manager is told of each kind of window the programs show:
// its type, what the user may do with it, the decorations, how it is sized
// (a window with a maximise box can be maximised under any window manager,
// one without a thick frame never sized by a border); and where a dialog
// opens that its template does not place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/display/WindowLook.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/SystemMetrics.h"
#include "platform/win/Window.h"

namespace {

using vqplatform::MaximiseWay;
using vqplatform::Sizing;

struct LookCase {
  const char* name;
  DWORD style;
  DWORD exStyle;
  bool owned;
  const wchar_t* className;
  const char* type;
  long functions;      // with MaximiseWay::Plain
  long resizeToo;      // added with MaximiseWay::ThroughResize
  long decorations;
  Sizing sizing;
};

constexpr long kMove = vqplatform::kFuncMove, kClose = vqplatform::kFuncClose, kMin = vqplatform::kFuncMinimize,
               kMax = vqplatform::kFuncMaximize, kResize = vqplatform::kFuncResize;
constexpr long kBorder = vqplatform::kDecorBorder, kTitle = vqplatform::kDecorTitle, kMenu = vqplatform::kDecorMenu,
               kMinBox = vqplatform::kDecorMinimize, kMaxBox = vqplatform::kDecorMaximize,
               kHandle = vqplatform::kDecorResizeHandle;

const LookCase kCases[] = {
    {"MainWindow", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_MODALFRAME, 0, false,
     WC_DIALOG, "_NET_WM_WINDOW_TYPE_NORMAL", kMove | kClose | kMin | kMax, kResize,
     kBorder | kTitle | kMenu | kMinBox | kMaxBox, Sizing::MaximiseOnly},
    {"ModalDialog", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, true, WC_DIALOG,
     "_NET_WM_WINDOW_TYPE_DIALOG", kMove | kClose, 0, kBorder | kTitle | kMenu, Sizing::Fixed},
    {"MessageBoxOfItsOwn", WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, false, WC_DIALOG,
     "_NET_WM_WINDOW_TYPE_DIALOG", kMove | kClose, 0, kBorder | kTitle | kMenu, Sizing::Fixed},
    // The recognition dialog: no caption, a dialog's frame it draws itself.
    {"CaptionlessDialog", WS_POPUP | WS_BORDER | DS_MODALFRAME, 0, true, WC_DIALOG, "_NET_WM_WINDOW_TYPE_DIALOG",
     kMove, 0, 0, Sizing::Fixed},
    {"OwnedSplash", WS_POPUP | WS_BORDER | WS_SYSMENU, 0, true, WC_DIALOG, "_NET_WM_WINDOW_TYPE_SPLASH",
     kMove | kClose, 0, 0, Sizing::Fixed},
    {"SizableFrame", WS_OVERLAPPEDWINDOW, 0, false, L"Frame", "_NET_WM_WINDOW_TYPE_NORMAL",
     kMove | kClose | kMin | kMax | kResize, 0, kBorder | kTitle | kMenu | kMinBox | kMaxBox | kHandle, Sizing::Free},
    {"PopupMenu", WS_POPUP, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, true, L"#32768", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
     kMove, 0, 0, Sizing::Fixed},
};

class DisplayWindowLookTest : public ::testing::TestWithParam<LookCase> {};

TEST_P(DisplayWindowLookTest, TypeFunctionsDecorationsAndSizingFollowTheStyle) {
  const LookCase& c = GetParam();
  const vqplatform::WindowLook look{c.style, c.exStyle, c.owned, c.className, RECT{0, 0, 400, 300}};
  EXPECT_STREQ(vqplatform::WindowTypeOf(look), c.type);
  EXPECT_EQ(vqplatform::IsOverrideRedirect(look), std::string(c.name) == "PopupMenu");
  const vqplatform::MotifHints plain = vqplatform::MotifHintsOf(look, MaximiseWay::Plain);
  EXPECT_EQ(plain.functions, c.functions);
  EXPECT_EQ(plain.decorations, c.decorations);
  const vqplatform::MotifHints resizing = vqplatform::MotifHintsOf(look, MaximiseWay::ThroughResize);
  EXPECT_EQ(resizing.functions, c.functions | c.resizeToo);
  EXPECT_EQ(resizing.decorations, c.decorations) << "no sizing handle for a window the user may not size";
  EXPECT_EQ(vqplatform::SizingOf(look), c.sizing);
}

INSTANTIATE_TEST_SUITE_P(Windows, DisplayWindowLookTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A dialog its template does not place opens centred on its owner; near the
// screen's edge it is kept inside the work area.
TEST(DisplayDialogPlacement, UnplacedDialogsOpenCentredOnTheirOwnerInsideTheWorkArea) {
  const SIZE screen = vqplatform::GetScreenSize();
  vqplatform::SetScreenSize(1366, 768);
  vqplatform::SetWorkArea(RECT{0, 0, 1366, 742});
  const DialogTemplate main{WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 0, 100, 100, L"", L"MS Shell Dlg", 9, {}};
  HWND owner = vqplatform::CreateDialogFromTemplate(main, nullptr, nullptr, 0);
  ASSERT_NE(owner, nullptr);
  MoveWindow(owner, 300, 200, 600, 400, FALSE);
  const DialogTemplate unplaced{WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 120, 60, L"图像合并",
                                L"MS Shell Dlg", 9, {}};
  HWND dialog = vqplatform::CreateDialogFromTemplate(unplaced, owner, nullptr, 0);
  ASSERT_NE(dialog, nullptr);
  RECT r{};
  GetWindowRect(dialog, &r);
  EXPECT_LE(std::abs((r.left + r.right) / 2 - 600), 1);
  EXPECT_LE(std::abs((r.top + r.bottom) / 2 - 400), 1);
  DestroyWindow(dialog);
  // The owner in the corner, half off the screen: the dialog stays on it,
  // above the panel.
  MoveWindow(owner, 1200, 650, 400, 160, FALSE);
  dialog = vqplatform::CreateDialogFromTemplate(unplaced, owner, nullptr, 0);
  GetWindowRect(dialog, &r);
  EXPECT_EQ(r.bottom, 742);
  EXPECT_EQ(r.right, 1366);
  DestroyWindow(dialog);
  DestroyWindow(owner);
  vqplatform::SetWorkArea(RECT{});
  vqplatform::SetScreenSize(screen.cx, screen.cy);
}

}  // namespace

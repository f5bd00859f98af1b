// The small framework and system calls the programs make at start-up and
// around their windows: creation hooks, extended styles, the wait cursor,
// hot keys, the desktop's DC, the module path in UTF-8 and the start-up
// calls for common controls and the picture library.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/display/Cursors.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/win/Controls.h"
#include "platform/win/Encoding.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiText.h"
#include "platform/win/GdiplusStartup.h"
#include "platform/win/InputFocus.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"

namespace {

// Widens itself by PreCreateWindow; refuses to exist when told to.
class Adjusted : public CWnd {
 public:
  bool refuse = false;

 protected:
  BOOL PreCreateWindow(CREATESTRUCTW& create) override {
    create.style |= WS_BORDER;
    create.dwExStyle |= WS_EX_TOOLWINDOW;
    create.cx = 120;
    return refuse ? FALSE : CWnd::PreCreateWindow(create);
  }
};

TEST(MfcSmallMembers, PreCreateWindowShapesTheWindowAndStylesChangeAfterwards) {
  Adjusted window;
  ASSERT_TRUE(window.CreateEx(0, nullptr, L"Adjusted", WS_POPUP, RECT{0, 0, 50, 40}, nullptr, 0));
  EXPECT_TRUE(window.GetStyle() & WS_BORDER);
  EXPECT_TRUE(window.GetExStyle() & WS_EX_TOOLWINDOW);
  RECT rect;
  window.GetWindowRect(&rect);
  EXPECT_EQ(rect.right - rect.left, 120);
  EXPECT_TRUE(window.ModifyStyleEx(WS_EX_TOOLWINDOW, WS_EX_TOPMOST));
  EXPECT_FALSE(window.ModifyStyleEx(0, WS_EX_TOPMOST)) << "nothing changed";
  EXPECT_EQ(window.GetExStyle() & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST), static_cast<DWORD>(WS_EX_TOPMOST));
  window.DestroyWindow();
  Adjusted refused;
  refused.refuse = true;
  EXPECT_FALSE(refused.CreateEx(0, nullptr, L"No", WS_POPUP, RECT{0, 0, 50, 40}, nullptr, 0));
  EXPECT_EQ(refused.m_hWnd, nullptr);
}

TEST(MfcSmallMembers, WaitCursorsHotKeysAndTheDesktopsDc) {
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW), wait = LoadCursorW(nullptr, IDC_WAIT);
  SetCursor(arrow);
  {
    CWaitCursor busy;
    EXPECT_EQ(GetCursor(), wait);
  }
  EXPECT_EQ(GetCursor(), arrow);
  CWnd window;
  window.BeginWaitCursor();
  window.BeginWaitCursor();
  window.EndWaitCursor();
  EXPECT_EQ(GetCursor(), wait) << "still one level deep";
  window.EndWaitCursor();
  EXPECT_EQ(GetCursor(), arrow);

  EXPECT_TRUE(RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'S'));
  EXPECT_FALSE(RegisterHotKey(nullptr, 2, MOD_CONTROL | MOD_ALT, 'S'));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HOTKEY_ALREADY_REGISTERED));
  EXPECT_TRUE(UnregisterHotKey(nullptr, 1));
  EXPECT_FALSE(UnregisterHotKey(nullptr, 1));

  HDC dc = GetDC(GetDesktopWindow());
  SIZE extent{};
  EXPECT_TRUE(GetTextExtentPoint32W(dc, L"Marlofen", 8, &extent));
  EXPECT_GT(extent.cx, 20);
  EXPECT_EQ(ReleaseDC(GetDesktopWindow(), dc), 1);
}

TEST(MfcSmallMembers, ModulePathInUtf8AndCommonControls) {
  wchar_t wide[MAX_PATH];
  char narrow[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, wide, MAX_PATH), 0u);
  DWORD n = GetModuleFileNameA(nullptr, narrow, MAX_PATH);
  EXPECT_EQ(std::string(narrow, n), vq::WideToUtf8(wide));
  // A short buffer keeps whole characters only.
  setenv("VQ_PROGRAM_DIR", "/tmp/程序", 1);
  EXPECT_EQ(GetModuleFileNameA(nullptr, narrow, 8), 8u);
  EXPECT_STREQ(narrow, "/tmp/");
  INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  EXPECT_TRUE(InitCommonControlsEx(&init));
  init.dwSize = 4;
  EXPECT_FALSE(InitCommonControlsEx(&init));
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  EXPECT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
  EXPECT_EQ(Gdiplus::GdiplusStartup(&token, nullptr, nullptr), Gdiplus::InvalidParameter);
}

}  // namespace

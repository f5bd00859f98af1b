// A thread's modal loops counted and ended at once: a popup menu inside a
// modal dialog, both ended as a cancel would, a loop started while they end
// ending unseen, and loops running again once resumed.
#include <gtest/gtest.h>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Menu.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Window.h"

namespace {

constexpr UINT WM_OPEN_MENU = WM_APP + 1;
constexpr UINT WM_END_ALL = WM_APP + 2;

const DialogTemplate& Box() {
  static const DialogTemplate box{WS_POPUP | DS_MODALFRAME, 0, 0, 0, 120, 60, L"Box", L"MS Shell Dlg", 9,
                                  {{IDOK, WC_BUTTON, L"OK", WS_VISIBLE | WS_TABSTOP, 0, 10, 10, 50, 14}}};
  return box;
}

struct Seen {
  int depthInDialog = -1;
  int depthInMenu = -1;
  UINT menuResult = 99;
  INT_PTR laterDialog = 99;
};
Seen* g_seen = nullptr;
HWND g_helper = nullptr;

LRESULT CALLBACK HelperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_END_ALL) {
    g_seen->depthInMenu = vqplatform::ModalLoopDepth();
    vqplatform::EndModalLoops();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

INT_PTR OuterProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    PostMessageW(dialog, WM_OPEN_MENU, 0, 0);
    return TRUE;
  }
  if (message == WM_OPEN_MENU) {
    g_seen->depthInDialog = vqplatform::ModalLoopDepth();
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 10, L"Item");
    // Handled inside the menu's loop: it ends both loops.
    PostMessageW(g_helper, WM_END_ALL, 0, 0);
    g_seen->menuResult = vqplatform::RunPopupMenu(menu, 0, 0, dialog);
    DestroyMenu(menu);
    g_seen->laterDialog = DialogBoxIndirectParamW(nullptr, &Box(), dialog, nullptr, 0);
    return TRUE;
  }
  return FALSE;
}

TEST(ModalLoops, EndingOnesInsideOthersEndsThemAllUntilResumed) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = HelperProc;
  windowClass.lpszClassName = L"ModalLoopsTestHelper";
  RegisterClassW(&windowClass);
  g_helper = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
  Seen seen;
  g_seen = &seen;
  EXPECT_EQ(vqplatform::ModalLoopDepth(), 0);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Box(), g_helper, OuterProc, 0), IDCANCEL);
  EXPECT_EQ(seen.depthInDialog, 1);
  EXPECT_EQ(seen.depthInMenu, 2);
  EXPECT_EQ(seen.menuResult, 0u) << "the menu ends with no choice";
  EXPECT_EQ(seen.laterDialog, IDCANCEL) << "a dialog opened while the loops end ends at once";
  EXPECT_EQ(vqplatform::ModalLoopDepth(), 0);
  EXPECT_TRUE(IsWindowEnabled(g_helper)) << "the owner is enabled again";
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Box(), nullptr, nullptr, 0), IDCANCEL) << "still ending";

  vqplatform::ResumeModalLoops();
  // A loop runs again: it ends only by its own EndDialog.
  HWND box = vqplatform::CreateDialogFromTemplate(Box(), nullptr, nullptr, 0);
  ASSERT_NE(box, nullptr);
  bool stillRunning = false;
  vqplatform::SetModalIdleHandler([&](HWND dialog) {
    stillRunning = !vqplatform::IsModalDialogEnded(dialog);
    EndDialog(dialog, IDOK);
  });
  EXPECT_EQ(vqplatform::RunModalDialog(box, nullptr), IDOK);
  vqplatform::SetModalIdleHandler(nullptr);
  EXPECT_TRUE(stillRunning);
  DestroyWindow(g_helper);
  UnregisterClassW(windowClass.lpszClassName, nullptr);
}

}  // namespace

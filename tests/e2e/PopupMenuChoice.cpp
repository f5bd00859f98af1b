#include "tests/e2e/PopupMenuChoice.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/win/Menu.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/WindowRegistry.h"
// Xlib last: its macros clash with names above.
#include "tests/e2e/XServer.h"

namespace vqtest {

std::vector<std::wstring> ChooseFromPopupMenu(HWND window, POINT at, UINT command) {
  std::vector<std::wstring> texts;
  std::atomic<bool> offered{false};
  vqplatform::SetPopupMenuAnswer([&](const vqplatform::PopupMenuRecord& menu) {
    texts = menu.texts;
    offered = true;
    return command;
  });
  const LPARAM point = MAKELPARAM(at.x, at.y);
  SendMessageW(window, WM_MOUSEMOVE, 0, point);
  SendMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, point);
  EXPECT_TRUE(WaitFor([&] { return offered.load(); })) << command;
  // The menu posts its command: wait until the window's thread has taken it
  // from its queue, then until its handler returned (a sent message waits).
  EXPECT_TRUE(WaitFor([&] {
    return vqplatform::RunOnWindowThread(window, [] {
             MSG msg;
             return LRESULT(PeekMessageW(&msg, nullptr, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
           }) == 0;
  })) << command;
  SendMessageW(window, WM_NULL, 0, 0);
  vqplatform::SetPopupMenuAnswer(nullptr);
  return texts;
}

}  // namespace vqtest

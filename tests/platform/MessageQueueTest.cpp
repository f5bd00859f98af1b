// One thread's queue: retrieval order, filters, quit, paint and messages to
// destroyed windows.
#include <gtest/gtest.h>

#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "tests/platform/MessageTestSupport.h"

namespace {

using vqtest::MakeWindow;
using vqtest::MessageLog;

const UINT WM_VIDEO_STILL_READY = WM_USER + 101;
const UINT WM_ORIENTATION_RESULT = WM_USER + 52;

class MessageQueue : public ::testing::Test {
 protected:
  void SetUp() override { MessageLog::Clear(); }
  void TearDown() override {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    MessageLog::Clear();
  }
};

TEST_F(MessageQueue, PostedMessagesComeInOrderThenQuit) {
  HWND window = MakeWindow(L"Main");
  ASSERT_TRUE(PostMessageW(window, WM_VIDEO_STILL_READY, 1, 10));
  ASSERT_TRUE(PostMessageW(window, WM_ORIENTATION_RESULT, 2, 20));
  PostQuitMessage(18);
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER, 3, 30));
  ValidateRect(window, nullptr);

  MSG msg;
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, WM_VIDEO_STILL_READY);
  EXPECT_EQ(msg.hwnd, window);
  EXPECT_EQ(msg.lParam, 10);
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, WM_ORIENTATION_RESULT);
  ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(msg.hwnd, nullptr);
  // The quit comes once the posted messages are gone, whatever the filter.
  ASSERT_EQ(GetMessageW(&msg, window, WM_USER, WM_USER), FALSE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 18u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  DestroyWindow(window);
}

TEST_F(MessageQueue, PeekFiltersByRangeAndWindowAndCanLeaveMessages) {
  HWND parent = MakeWindow(L"Parent");
  HWND child = MakeWindow(L"Child", parent, 1042, WS_CHILD | WS_VISIBLE);
  HWND other = MakeWindow(L"Other");
  for (HWND w : {parent, child, other}) ValidateRect(w, nullptr);
  PostMessageW(other, WM_USER + 1, 0, 0);
  PostMessageW(child, WM_USER + 2, 0, 0);
  PostMessageW(nullptr, WM_USER + 3, 0, 0);
  PostMessageW(parent, WM_TIMER + 0x1000, 0, 0);

  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, parent, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.hwnd, child) << "a window filter takes its descendants too";
  ASSERT_TRUE(PeekMessageW(&msg, parent, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.hwnd, child) << "PM_NOREMOVE leaves it";
  ASSERT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 3));
  EXPECT_FALSE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER + 0x1000, WM_TIMER + 0x1000, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, parent);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, other);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, child);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  DestroyWindow(parent);
  EXPECT_EQ(GetMessageW(&msg, parent, 0, 0), -1);
  DestroyWindow(other);
}

TEST_F(MessageQueue, DispatchReturnsTheProcedureResult) {
  MessageLog::SetHandler([](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_USER + 5) return static_cast<LRESULT>(wParam * 3);
    return std::nullopt;
  });
  HWND window = MakeWindow(L"Main");
  PostMessageW(window, WM_USER + 5, 14, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 5, WM_USER + 5, PM_REMOVE));
  EXPECT_EQ(DispatchMessageW(&msg), 42);
  EXPECT_EQ(SendMessageW(window, WM_USER + 5, 5, 0), 15);
  DestroyWindow(window);
}

TEST_F(MessageQueue, MessagesToDestroyedWindowsAreDropped) {
  HWND doomed = MakeWindow(L"Doomed");
  HWND survivor = MakeWindow(L"Survivor");
  ValidateRect(survivor, nullptr);
  PostMessageW(doomed, WM_USER + 1, 0, 0);
  PostMessageW(survivor, WM_USER + 2, 0, 0);
  PostMessageW(doomed, WM_USER + 3, 0, 0);
  ASSERT_TRUE(DestroyWindow(doomed));
  EXPECT_FALSE(IsWindow(doomed));
  EXPECT_FALSE(PostMessageW(doomed, WM_USER + 4, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(SendMessageW(doomed, WM_GETTEXTLENGTH, 0, 0), 0);
  EXPECT_FALSE(DestroyWindow(doomed));

  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, survivor);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  // Dispatching a message kept from before does not reach the procedure.
  MessageLog::Clear();
  msg.hwnd = doomed;
  msg.message = WM_USER + 9;
  EXPECT_EQ(DispatchMessageW(&msg), 0);
  EXPECT_EQ(MessageLog::Count(WM_USER + 9), 0u);
  DestroyWindow(survivor);
}

TEST_F(MessageQueue, AQueueThatIsNotDrainedStopsAcceptingPosts) {
  HWND window = MakeWindow(L"Stalled");
  ValidateRect(window, nullptr);
  int accepted = 0;
  while (accepted < 20000 && PostMessageW(window, WM_USER, 0, accepted)) ++accepted;
  EXPECT_EQ(accepted, 10000);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
  EXPECT_FALSE(PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.lParam, 0) << "nothing queued was lost";
  EXPECT_TRUE(PostMessageW(window, WM_USER, 0, 0));
  DestroyWindow(window);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueue, PaintComesWhenNothingElseIsQueuedUntilValidated) {
  MessageLog::SetHandler([](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message != WM_PAINT) return std::nullopt;
    bool erase = false;
    vqplatform::TakeUpdateRegion(hwnd, nullptr, &erase);
    return 0;
  });
  HWND shown = MakeWindow(L"Shown");
  HWND hidden = MakeWindow(L"Hidden", nullptr, 0, WS_OVERLAPPEDWINDOW);
  PostMessageW(shown, WM_USER + 1, 0, 0);
  InvalidateRect(hidden, nullptr, TRUE);

  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  EXPECT_EQ(msg.hwnd, shown);
  // Taking WM_PAINT does not validate: it comes again until painted.
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  DispatchMessageW(&msg);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "a hidden window gets no WM_PAINT";

  ShowWindow(hidden, SW_SHOW);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  EXPECT_EQ(msg.hwnd, hidden);
  RECT update;
  EXPECT_TRUE(GetUpdateRect(hidden, &update, FALSE));
  EXPECT_EQ(update.right, 200);
  DispatchMessageW(&msg);
  EXPECT_FALSE(GetUpdateRect(hidden, &update, FALSE));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

  // Showing a window again repaints its visible children with it.
  HWND child = MakeWindow(L"Child", hidden, 1, WS_CHILD | WS_VISIBLE);
  ShowWindow(hidden, SW_HIDE);
  ValidateRect(child, nullptr);
  ShowWindow(hidden, SW_SHOW);
  EXPECT_TRUE(GetUpdateRect(child, &update, FALSE));
  ValidateRect(child, nullptr);
  ValidateRect(hidden, nullptr);

  // Invalid areas accumulate, clipped to the client area.
  RECT first{10, 10, 20, 20}, second{150, 5, 400, 30};
  InvalidateRect(shown, &first, FALSE);
  InvalidateRect(shown, &second, FALSE);
  ASSERT_TRUE(GetUpdateRect(shown, &update, FALSE));
  EXPECT_EQ(update.left, 10);
  EXPECT_EQ(update.top, 5);
  EXPECT_EQ(update.right, 200);
  EXPECT_EQ(update.bottom, 30);
  // UpdateWindow paints at once, without the queue.
  MessageLog::Clear();
  EXPECT_TRUE(UpdateWindow(shown));
  EXPECT_FALSE(GetUpdateRect(shown, &update, FALSE));
  DestroyWindow(shown);
  DestroyWindow(hidden);
}

}  // namespace

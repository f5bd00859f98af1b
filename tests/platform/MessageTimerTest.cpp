// Timers under the manual clock: due times, coalescing, replacement, timer
// procedures, killing, and a message loop on another thread woken by a timer.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/win/Clock.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Timers.h"
#include "platform/win/Window.h"
#include "tests/platform/MessageTestSupport.h"
#include "tests/support/TestEnv.h"

namespace {

using vqplatform::Clock;
using vqplatform::ManualClockScope;
using vqtest::MakeWindow;
using vqtest::MessageLog;

const UINT_PTR TIMER_EXPOSURE_POLL = 100;

class MessageTimer : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageLog::Clear();
    window_ = MakeWindow(L"Timed");
    ValidateRect(window_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(window_);
    MessageLog::Clear();
  }
  // The next message, if any, without waiting.
  std::optional<MSG> Next() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return std::nullopt;
    return msg;
  }
  ManualClockScope manual_;
  HWND window_ = nullptr;
};

TEST_F(MessageTimer, FiresOncePerDueIntervalAndDoesNotPileUp) {
  ASSERT_EQ(SetTimer(window_, TIMER_EXPOSURE_POLL, 1000, nullptr), TIMER_EXPOSURE_POLL);
  EXPECT_FALSE(Next());
  Clock::Advance(999);
  EXPECT_FALSE(Next());
  Clock::Advance(1);
  auto msg = Next();
  ASSERT_TRUE(msg);
  EXPECT_EQ(msg->message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(msg->hwnd, window_);
  EXPECT_EQ(msg->wParam, TIMER_EXPOSURE_POLL);
  EXPECT_FALSE(Next());
  // Five missed periods give one WM_TIMER, then the rhythm restarts from now.
  Clock::Advance(5000);
  EXPECT_TRUE(Next());
  EXPECT_FALSE(Next());
  Clock::Advance(1000);
  EXPECT_TRUE(Next());
  EXPECT_TRUE(KillTimer(window_, TIMER_EXPOSURE_POLL));
  EXPECT_FALSE(KillTimer(window_, TIMER_EXPOSURE_POLL));
  Clock::Advance(3000);
  EXPECT_FALSE(Next());
}

TEST_F(MessageTimer, PostedMessagesAndPaintGoBeforeTimers) {
  SetTimer(window_, 1, 500, nullptr);
  Clock::Advance(500);
  PostMessageW(window_, WM_USER + 1, 0, 0);
  InvalidateRect(window_, nullptr, FALSE);
  EXPECT_EQ(Next()->message, static_cast<UINT>(WM_USER + 1));
  auto paint = Next();
  EXPECT_EQ(paint->message, static_cast<UINT>(WM_PAINT));
  ValidateRect(window_, nullptr);
  EXPECT_EQ(Next()->message, static_cast<UINT>(WM_TIMER));
}

TEST_F(MessageTimer, SettingTheSameIdRestartsIt) {
  SetTimer(window_, 2, 1000, nullptr);
  Clock::Advance(800);
  SetTimer(window_, 2, 1000, nullptr);
  Clock::Advance(800);
  EXPECT_FALSE(Next());
  Clock::Advance(200);
  auto msg = Next();
  ASSERT_TRUE(msg);
  EXPECT_EQ(msg->wParam, 2u);
  // Ids are per window.
  HWND other = MakeWindow(L"Other");
  ValidateRect(other, nullptr);
  SetTimer(other, 2, 300, nullptr);
  Clock::Advance(300);
  msg = Next();
  ASSERT_TRUE(msg);
  EXPECT_EQ(msg->hwnd, other);
  DestroyWindow(other);
  Clock::Advance(1000);
  msg = Next();
  ASSERT_TRUE(msg);
  EXPECT_EQ(msg->hwnd, window_) << "the destroyed window's timer went with it";
  EXPECT_FALSE(Next());
}

std::atomic<int> g_procCalls{0};
void CALLBACK CountingTimerProc(HWND, UINT message, UINT_PTR, DWORD) {
  if (message == WM_TIMER) ++g_procCalls;
}

TEST_F(MessageTimer, TimerProceduresAreCalledByDispatch) {
  g_procCalls = 0;
  UINT_PTR first = SetTimer(nullptr, 0, 200, CountingTimerProc);
  UINT_PTR second = SetTimer(nullptr, 0, 400, CountingTimerProc);
  ASSERT_NE(first, 0u);
  ASSERT_NE(second, 0u);
  EXPECT_NE(first, second);
  Clock::Advance(400);
  int dispatched = 0;
  while (auto msg = Next()) {
    EXPECT_EQ(msg->hwnd, nullptr);
    DispatchMessageW(&*msg);
    ++dispatched;
  }
  EXPECT_EQ(dispatched, 2);
  EXPECT_EQ(g_procCalls.load(), 2);
  EXPECT_EQ(MessageLog::Count(WM_TIMER), 0u);
  // A forged WM_TIMER with an unregistered procedure is not called.
  MSG forged{nullptr, WM_TIMER, 999, reinterpret_cast<LPARAM>(CountingTimerProc), 0, {0, 0}};
  DispatchMessageW(&forged);
  EXPECT_EQ(g_procCalls.load(), 2);
  KillTimer(nullptr, first);
  KillTimer(nullptr, second);
}

TEST_F(MessageTimer, AWindowOfAnotherThreadCannotBeGivenATimer) {
  vqtest::WindowThread other(L"Elsewhere");
  EXPECT_EQ(SetTimer(other.Window(), 1, 100, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(0x1234), 1, 100, nullptr), 0u);
}

TEST_F(MessageTimer, AMessageLoopOnAnotherThreadWakesForItsTimer) {
  static HANDLE ticked;
  ticked = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  MessageLog::SetHandler([](HWND hwnd, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_USER + 1) return static_cast<LRESULT>(SetTimer(hwnd, 1, 800, nullptr));
    if (message == WM_TIMER && wParam == 1) SetEvent(ticked);
    return std::nullopt;
  });
  vqtest::WindowThread worker(L"Worker");
  ASSERT_EQ(SendMessageW(worker.Window(), WM_USER + 1, 0, 0), 1);
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(Clock::WaitForTimedWaiters(1, vqtest::kPatience));
    Clock::Advance(799);
    EXPECT_EQ(WaitForSingleObject(ticked, 0), WAIT_TIMEOUT);
    Clock::Advance(1);
    ASSERT_EQ(WaitForSingleObject(ticked, INFINITE), WAIT_OBJECT_0);
  }
  EXPECT_EQ(MessageLog::Count(WM_TIMER), 3u);
  worker.Stop();
  CloseHandle(ticked);
}

}  // namespace

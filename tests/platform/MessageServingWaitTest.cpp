// Waits that answer messages sent to the waiting thread: a thread joining a
// worker that is blocked in a SendMessage to it, and MsgWaitForMultipleObjects
// telling the kinds of queue input apart.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/win/Clock.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "platform/win/Timers.h"
#include "platform/win/Window.h"
#include "tests/platform/MessageTestSupport.h"
#include "tests/support/TestEnv.h"

namespace {

using vqtest::MakeWindow;
using vqtest::MessageLog;

const UINT kFrameReady = WM_USER + 40;
const UINT kNote = WM_USER + 41;

// A worker that sends `sends` messages to a window of the thread that will
// join it, then posts one note and ends; like a preview worker reporting
// each frame to its window while its owner is stopping it.
struct Worker {
  HWND target = nullptr;
  int sends = 0;
  HANDLE started = nullptr;
  std::atomic<LRESULT> sum{0};
  std::atomic<bool> finished{false};

  static DWORD Run(LPVOID parameter) {
    auto* self = static_cast<Worker*>(parameter);
    SetEvent(self->started);
    for (int i = 0; i < self->sends; ++i) self->sum += SendMessageW(self->target, kFrameReady, i, 0);
    PostMessageW(self->target, kNote, 0, 0);
    self->finished = true;
    return 7;
  }
};

class MessageServingWait : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageLog::Clear();
    MessageLog::SetHandler([](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
      if (message == kFrameReady) return static_cast<LRESULT>(wParam + 1);
      return std::nullopt;
    });
    window_ = MakeWindow(L"Preview");
  }
  void TearDown() override {
    DestroyWindow(window_);
    MessageLog::Clear();
  }
  HWND window_ = nullptr;
};

TEST_F(MessageServingWait, JoinAnswersAWorkerBlockedInASendToTheJoiningThread) {
  Worker worker;
  worker.target = window_;
  worker.sends = 50;
  worker.started = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, Worker::Run, &worker, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(worker.started, INFINITE), WAIT_OBJECT_0);

  // A plain wait does not answer: the worker stays blocked in its first send.
  EXPECT_EQ(WaitForSingleObject(thread, 100), WAIT_TIMEOUT);
  EXPECT_FALSE(worker.finished);
  EXPECT_EQ(MessageLog::Count(kFrameReady), 0u);

  ASSERT_EQ(WaitServingSentMessages(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(worker.finished);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
  // Every send was handled on this thread, each answer reached the worker.
  auto handled = MessageLog::Only({kFrameReady});
  ASSERT_EQ(handled.size(), 50u);
  for (const auto& entry : handled) EXPECT_EQ(entry.threadId, GetCurrentThreadId());
  EXPECT_EQ(worker.sum.load(), 50 * 51 / 2);
  // The posted note stays queued for the thread's own loop.
  EXPECT_EQ(MessageLog::Count(kNote), 0u);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, kNote);
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_TRUE(CloseHandle(worker.started));
}

struct TimedJoin {
  HANDLE target = nullptr;
  std::atomic<DWORD> result{WAIT_FAILED};
  static DWORD Run(LPVOID p) {
    auto* self = static_cast<TimedJoin*>(p);
    self->result = WaitServingSentMessages(self->target, 3000);
    return 0;
  }
};

TEST_F(MessageServingWait, JoinTimesOutOnTheLayerClockAndFailsOnABadHandle) {
  HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  {
    vqplatform::ManualClockScope manual;
    TimedJoin join;
    join.target = never;
    HANDLE joiner = CreateThread(nullptr, 0, TimedJoin::Run, &join, 0, nullptr);
    ASSERT_TRUE(vqplatform::Clock::WaitForTimedWaiters(1, vqtest::kPatience));
    vqplatform::Clock::Advance(2999);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(WaitForSingleObject(joiner, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    vqplatform::Clock::Advance(1);
    ASSERT_EQ(WaitForSingleObject(joiner, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(join.result.load(), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(joiner);
  }
  CloseHandle(never);
  EXPECT_EQ(WaitServingSentMessages(never, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// Sends one message to `target` from another thread and returns that thread.
HANDLE SendFromAnotherThread(HWND* target) {
  return CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        SendMessageW(*static_cast<HWND*>(p), kFrameReady, 1, 0);
        return 0;
      },
      target, 0, nullptr);
}

TEST_F(MessageServingWait, MsgWaitEndsOnTheKindsOfInputItWasAskedFor) {
  HANDLE event = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  // A posted message does not end a wait for sent messages only...
  PostMessageW(window_, kNote, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 30, QS_SENDMESSAGE), static_cast<DWORD>(WAIT_TIMEOUT));
  // ...but ends one for posted messages, and input counts while it is queued.
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_POSTMESSAGE), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
  // Mouse input is its own kind.
  PostMessageW(window_, WM_LBUTTONDOWN, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_LBUTTONDOWN));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, kNote);

  // A message sent from another thread ends the wait and is answered only
  // once this thread peeks for it.
  HANDLE sender = SendFromAnotherThread(&window_);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_SENDMESSAGE), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(MessageLog::Count(kFrameReady), 0u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE));
  EXPECT_EQ(MessageLog::Count(kFrameReady), 1u);
  EXPECT_EQ(WaitForSingleObject(sender, INFINITE), WAIT_OBJECT_0);

  // A signalled object wins over queued input; waitAll is refused.
  SetEvent(event);
  PostMessageW(window_, kNote, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT), WAIT_OBJECT_0);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, TRUE, 0, QS_ALLINPUT), static_cast<DWORD>(WAIT_FAILED));
  for (HANDLE h : {sender, event}) CloseHandle(h);
}

TEST_F(MessageServingWait, MsgWaitWakesForATimerOnTheManualClock) {
  vqplatform::ManualClockScope manual;
  uint64_t start = vqplatform::Clock::NowMs();
  ASSERT_NE(SetTimer(window_, 5, 800, nullptr), 0u);
  std::atomic<DWORD> result{0};
  HANDLE event = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  // The timer belongs to this thread: wait here, advance from a helper.
  HANDLE advancer = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        if (!vqplatform::Clock::WaitForTimedWaiters(1, vqtest::kPatience)) return 1;
        vqplatform::Clock::Advance(800);
        return 0;
      },
      nullptr, 0, nullptr);
  result = MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_TIMER);
  EXPECT_EQ(result.load(), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(vqplatform::Clock::NowMs() - start, 800u);
  // The window's first WM_PAINT is pending too; a timer-only peek skips it.
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, window_, 0, 0, PM_REMOVE | PM_QS_POSTMESSAGE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(WaitForSingleObject(advancer, INFINITE), WAIT_OBJECT_0);
  KillTimer(window_, 5);
  for (HANDLE h : {advancer, event}) CloseHandle(h);
}

}  // namespace

// SendMessage and PostMessage between threads: blocking sends, sends answered
// inside message loops and inside the receiver's own sends, threads sending
// to each other, receivers that end, and many posting threads.
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/win/Dialog.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "tests/platform/MessageTestSupport.h"

namespace {

using vqtest::MakeWindow;
using vqtest::MessageLog;
using vqtest::WindowThread;

const UINT kDouble = WM_USER + 1;
const UINT kPing = WM_USER + 2;
const UINT kPong = WM_USER + 3;
const UINT kStartExchange = WM_USER + 4;
const UINT kRunModalLoop = WM_USER + 5;
const UINT kLeaveModalLoop = WM_USER + 6;
const UINT kCounted = WM_USER + 7;

class MessageCrossThread : public ::testing::Test {
 protected:
  void SetUp() override { MessageLog::Clear(); }
  void TearDown() override { MessageLog::Clear(); }
};

TEST_F(MessageCrossThread, SendBlocksUntilTheOwningThreadHandlesIt) {
  MessageLog::SetHandler([](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (message == kDouble) return static_cast<LRESULT>(wParam * 2);
    return std::nullopt;
  });
  WindowThread receiver(L"Receiver");
  EXPECT_EQ(SendMessageW(receiver.Window(), kDouble, 21, 0), 42);
  auto handled = MessageLog::Only({kDouble});
  ASSERT_EQ(handled.size(), 1u);
  EXPECT_EQ(handled[0].threadId, receiver.ThreadId());
  EXPECT_NE(handled[0].threadId, GetCurrentThreadId());
  // Text of another thread's window goes through that thread too.
  EXPECT_TRUE(SetWindowTextW(receiver.Window(), L"VorquellServer"));
  EXPECT_EQ(FindWindowW(nullptr, L"VorquellServer"), receiver.Window());
  wchar_t text[32];
  EXPECT_EQ(GetWindowTextW(receiver.Window(), text, 32), 14);
  EXPECT_STREQ(text, L"VorquellServer");
}

// Two windows on two threads; on kStartExchange each sends kPing to the
// other `rounds` times, and every kPing is answered after a nested kPong
// sent back to the pinging window.
struct Exchange {
  HWND windows[2] = {nullptr, nullptr};
  int rounds = 200;
  std::atomic<int> pongs{0};
  HANDLE finished[2] = {nullptr, nullptr};
};
Exchange* g_exchange = nullptr;

std::optional<LRESULT> ExchangeHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Exchange& x = *g_exchange;
  int self = hwnd == x.windows[0] ? 0 : 1;
  HWND peer = x.windows[1 - self];
  switch (message) {
    case kStartExchange: {
      LRESULT sum = 0;
      for (int i = 0; i < x.rounds; ++i) sum += SendMessageW(peer, kPing, static_cast<WPARAM>(i), 0);
      LRESULT expected = 0;
      for (int i = 0; i < x.rounds; ++i) expected += i + 1000;
      if (sum == expected) SetEvent(x.finished[self]);
      return 0;
    }
    case kPing:
      // Sends back into the thread that is waiting for this very answer.
      return SendMessageW(peer, kPong, wParam, 0) + 1000;
    case kPong:
      ++x.pongs;
      return static_cast<LRESULT>(wParam);
    default:
      (void)lParam;
      return std::nullopt;
  }
}

TEST_F(MessageCrossThread, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  Exchange exchange;
  g_exchange = &exchange;
  for (HANDLE& event : exchange.finished) event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  MessageLog::SetHandler(ExchangeHandler);
  WindowThread first(L"First");
  WindowThread second(L"Second");
  exchange.windows[0] = first.Window();
  exchange.windows[1] = second.Window();
  PostMessageW(first.Window(), kStartExchange, 0, 0);
  PostMessageW(second.Window(), kStartExchange, 0, 0);
  ASSERT_EQ(WaitForMultipleObjects(2, exchange.finished, TRUE, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(exchange.pongs.load(), 2 * exchange.rounds);
  MessageLog::SetHandler(nullptr);
  first.Stop();
  second.Stop();
  for (HANDLE event : exchange.finished) CloseHandle(event);
  g_exchange = nullptr;
}

TEST_F(MessageCrossThread, SentMessagesAreHandledInsideAModalLoop) {
  static HANDLE inModalLoop;
  inModalLoop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  MessageLog::SetHandler([](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (message == kRunModalLoop) {
      // A nested loop, as a modal dialog runs one.
      SetEvent(inModalLoop);
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == kLeaveModalLoop) break;
        DispatchMessageW(&msg);
      }
      return 0;
    }
    if (message == kDouble) return static_cast<LRESULT>(wParam * 2);
    return std::nullopt;
  });
  WindowThread receiver(L"Receiver");
  PostMessageW(receiver.Window(), kRunModalLoop, 0, 0);
  ASSERT_EQ(WaitForSingleObject(inModalLoop, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(SendMessageW(receiver.Window(), kDouble, 8, 0), 16);
  PostMessageW(receiver.Window(), kLeaveModalLoop, 0, 0);
  EXPECT_EQ(SendMessageW(receiver.Window(), kDouble, 9, 0), 18);
  receiver.Stop();
  CloseHandle(inModalLoop);
}

TEST_F(MessageCrossThread, APeekMessageLoopAnswersSendsToo) {
  MessageLog::SetHandler([](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (message == kDouble) return static_cast<LRESULT>(wParam * 2);
    return std::nullopt;
  });
  struct Peeker {
    HWND window = nullptr;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  } peeker;
  DWORD id = 0;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID parameter) -> DWORD {
        auto* p = static_cast<Peeker*>(parameter);
        p->window = MakeWindow(L"Peeker");
        SetEvent(p->ready);
        for (;;) {
          MSG msg;
          while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<DWORD>(msg.wParam);
            DispatchMessageW(&msg);
          }
          WaitMessage();
        }
      },
      &peeker, 0, &id);
  WaitForSingleObject(peeker.ready, INFINITE);
  for (WPARAM i = 1; i <= 20; ++i) EXPECT_EQ(SendMessageW(peeker.window, kDouble, i, 0), static_cast<LRESULT>(2 * i));
  PostThreadMessageW(id, WM_QUIT, 4, 0);
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 4u);
  CloseHandle(thread);
  CloseHandle(peeker.ready);
}

struct BlockedReceiver {
  HWND window = nullptr;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool pumpAfterRelease = true;
  ~BlockedReceiver() {
    CloseHandle(ready);
    CloseHandle(release);
  }
};

// Creates a window, then blocks in a wait (which answers no sends).
DWORD RunBlockedReceiver(LPVOID parameter) {
  auto* r = static_cast<BlockedReceiver*>(parameter);
  r->window = MakeWindow(L"Blocked");
  SetEvent(r->ready);
  WaitForSingleObject(r->release, INFINITE);
  if (r->pumpAfterRelease) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  }
  return 0;
}

struct SendJob {
  HWND target;
  LRESULT result = -1;
  DWORD error = 0;
};

DWORD SendDouble(LPVOID parameter) {
  auto* job = static_cast<SendJob*>(parameter);
  job->result = SendMessageW(job->target, kDouble, 50, 0);
  return 0;
}

TEST_F(MessageCrossThread, SendWaitsUntilTheReceiverPumps) {
  MessageLog::SetHandler([](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
    if (message == kDouble) return static_cast<LRESULT>(wParam * 2);
    return std::nullopt;
  });
  BlockedReceiver receiver;
  DWORD receiverId = 0;
  HANDLE receiverThread = CreateThread(nullptr, 0, RunBlockedReceiver, &receiver, 0, &receiverId);
  WaitForSingleObject(receiver.ready, INFINITE);
  SendJob job{receiver.window};
  HANDLE sender = CreateThread(nullptr, 0, SendDouble, &job, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(sender, 50), WAIT_TIMEOUT) << "answered by a thread blocked in a wait";
  SetEvent(receiver.release);
  ASSERT_EQ(WaitForSingleObject(sender, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(job.result, 100);
  PostThreadMessageW(receiverId, WM_QUIT, 0, 0);
  WaitForSingleObject(receiverThread, INFINITE);
  CloseHandle(sender);
  CloseHandle(receiverThread);
}

TEST_F(MessageCrossThread, SendToAThreadThatEndsWithoutAnsweringReturnsZero) {
  MessageLog::SetHandler([](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == kDouble) return 1;
    return std::nullopt;
  });
  BlockedReceiver receiver;
  receiver.pumpAfterRelease = false;
  HANDLE receiverThread = CreateThread(nullptr, 0, RunBlockedReceiver, &receiver, 0, nullptr);
  WaitForSingleObject(receiver.ready, INFINITE);
  SendJob job{receiver.window};
  HANDLE sender = CreateThread(nullptr, 0, SendDouble, &job, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(sender, 50), WAIT_TIMEOUT);
  SetEvent(receiver.release);
  ASSERT_EQ(WaitForSingleObject(sender, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(job.result, 0);
  EXPECT_EQ(MessageLog::Count(kDouble), 0u);
  WaitForSingleObject(receiverThread, INFINITE);
  // The ended thread's window went with it.
  EXPECT_FALSE(IsWindow(receiver.window));
  EXPECT_EQ(FindWindowW(nullptr, L"Blocked"), nullptr);
  EXPECT_FALSE(PostMessageW(receiver.window, kDouble, 0, 0));
  CloseHandle(sender);
  CloseHandle(receiverThread);
}

struct PostJob {
  HWND target;
  WPARAM sender;
};

DWORD PostMany(LPVOID parameter) {
  auto* job = static_cast<PostJob*>(parameter);
  for (LPARAM i = 0; i < 1000; ++i) PostMessageW(job->target, kCounted, job->sender, i);
  return 0;
}

TEST_F(MessageCrossThread, PostsFromManyThreadsArriveCompleteAndInOrderPerSender) {
  HWND window = MakeWindow(L"Collector");
  ValidateRect(window, nullptr);
  std::vector<PostJob> jobs;
  for (WPARAM sender = 0; sender < 4; ++sender) jobs.push_back({window, sender});
  std::vector<HANDLE> threads;
  for (auto& job : jobs) threads.push_back(CreateThread(nullptr, 0, PostMany, &job, 0, nullptr));
  ASSERT_EQ(WaitForMultipleObjects(4, threads.data(), TRUE, INFINITE), WAIT_OBJECT_0);
  std::vector<LPARAM> next(4, 0);
  MSG msg;
  int received = 0;
  while (PeekMessageW(&msg, window, kCounted, kCounted, PM_REMOVE)) {
    ASSERT_LT(msg.wParam, 4u);
    EXPECT_EQ(msg.lParam, next[msg.wParam]);
    next[msg.wParam] = msg.lParam + 1;
    ++received;
  }
  EXPECT_EQ(received, 4000);
  for (HANDLE thread : threads) CloseHandle(thread);
  DestroyWindow(window);
}

TEST_F(MessageCrossThread, PostThreadMessageReachesALoopWithoutWindows) {
  struct Loop {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WPARAM sum = 0;
  } loop;
  DWORD id = 0;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID parameter) -> DWORD {
        auto* l = static_cast<Loop*>(parameter);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists from here on
        SetEvent(l->ready);
        BOOL result;
        while ((result = GetMessageW(&msg, nullptr, 0, 0)) > 0) l->sum += msg.wParam;
        return static_cast<DWORD>(msg.wParam);
      },
      &loop, 0, &id);
  WaitForSingleObject(loop.ready, INFINITE);
  EXPECT_TRUE(PostThreadMessageW(id, WM_USER, 5, 0));
  EXPECT_TRUE(PostThreadMessageW(id, WM_USER, 6, 0));
  EXPECT_TRUE(PostThreadMessageW(id, WM_QUIT, 18, 0));
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 18u);
  EXPECT_EQ(loop.sum, 11u);
  EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 1, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
  CloseHandle(thread);
  CloseHandle(loop.ready);
}

// A dialog procedure answering kQuery through DWLP_MSGRESULT: the result
// is 100 + wParam, while the procedure itself returns TRUE.
const UINT kQuery = WM_USER + 20;

INT_PTR CALLBACK ResultDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == kQuery) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, static_cast<LONG_PTR>(100 + wParam));
    return TRUE;
  }
  return FALSE;
}

const DialogTemplate& ResultDialog() {
  static const DialogTemplate dialog{WS_POPUP, 0, 0, 0, 80, 40, L"Result", L"", 0, {}};
  return dialog;
}

struct DialogThread {
  HANDLE ready = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  HWND dialog = nullptr;
  static DWORD Run(LPVOID p) {
    auto* self = static_cast<DialogThread*>(p);
    self->dialog = CreateDialogIndirectParamW(nullptr, &ResultDialog(), nullptr, ResultDialogProc, 0);
    SetEvent(self->ready);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    DestroyWindow(self->dialog);
    return 0;
  }
};

TEST_F(MessageCrossThread, DialogProcedureResultsReachTheSenderOnEitherThread) {
  HWND local = CreateDialogIndirectParamW(nullptr, &ResultDialog(), nullptr, ResultDialogProc, 0);
  ASSERT_NE(local, nullptr);
  EXPECT_EQ(SendMessageW(local, kQuery, 5, 0), 105);
  // A message the procedure does not handle leaves no stale answer behind.
  EXPECT_EQ(SendMessageW(local, WM_USER + 21, 0, 0), 0);
  SetWindowLongPtrW(local, DWLP_USER, 77);
  EXPECT_EQ(GetWindowLongPtrW(local, DWLP_USER), 77);
  DestroyWindow(local);

  DialogThread owner;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, DialogThread::Run, &owner, 0, &id);
  ASSERT_EQ(WaitForSingleObject(owner.ready, INFINITE), WAIT_OBJECT_0);
  ASSERT_NE(owner.dialog, nullptr);
  for (WPARAM i = 0; i < 20; ++i) EXPECT_EQ(SendMessageW(owner.dialog, kQuery, i, 0), static_cast<LRESULT>(100 + i));
  PostThreadMessageW(id, WM_QUIT, 0, 0);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(owner.ready);
}

}  // namespace

// Destroying windows: message order through the tree, children and owned
// windows on other threads, refusal from a foreign thread, and windows that
// go with their thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "tests/platform/MessageTestSupport.h"

namespace {

using vqtest::LoggedMessage;
using vqtest::MakeWindow;
using vqtest::MessageLog;
using vqtest::WindowThread;

class MessageWindowDestroy : public ::testing::Test {
 protected:
  void SetUp() override { MessageLog::Clear(); }
  void TearDown() override { MessageLog::Clear(); }

  // The destruction messages as (window, message) pairs in arrival order.
  static std::vector<std::pair<HWND, UINT>> DestroySequence() {
    std::vector<std::pair<HWND, UINT>> sequence;
    for (const LoggedMessage& m : MessageLog::Only({WM_DESTROY, WM_NCDESTROY})) sequence.emplace_back(m.hwnd, m.message);
    return sequence;
  }
};

TEST_F(MessageWindowDestroy, ParentFirstForDestroyAndLastForNcDestroy) {
  HWND parent = MakeWindow(L"Parent");
  HWND first = MakeWindow(L"First", parent, 1, WS_CHILD | WS_VISIBLE);
  HWND grandchild = MakeWindow(L"Grandchild", first, 2, WS_CHILD | WS_VISIBLE);
  HWND second = MakeWindow(L"Second", parent, 3, WS_CHILD | WS_VISIBLE);
  // Still usable while WM_DESTROY runs.
  static HWND seenParentOfFirst;
  seenParentOfFirst = nullptr;
  MessageLog::SetHandler([](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_DESTROY && GetDlgCtrlID(hwnd) == 1) seenParentOfFirst = GetParent(hwnd);
    return std::nullopt;
  });
  ASSERT_TRUE(DestroyWindow(parent));
  std::vector<std::pair<HWND, UINT>> expected = {
      {parent, WM_DESTROY},       {first, WM_DESTROY},    {grandchild, WM_DESTROY}, {second, WM_DESTROY},
      {grandchild, WM_NCDESTROY}, {first, WM_NCDESTROY},  {second, WM_NCDESTROY},   {parent, WM_NCDESTROY}};
  EXPECT_EQ(DestroySequence(), expected);
  EXPECT_EQ(seenParentOfFirst, parent);
  for (HWND w : {parent, first, grandchild, second}) EXPECT_FALSE(IsWindow(w));
}

TEST_F(MessageWindowDestroy, ChildrenOnOtherThreadsAreDestroyedOnTheirOwnThread) {
  HWND parent = MakeWindow(L"Main window");
  WindowThread preview(L"Preview", parent, WS_CHILD | WS_VISIBLE);
  HWND child = preview.Window();
  ASSERT_TRUE(IsChild(parent, child));
  EXPECT_EQ(GetParent(child), parent);
  EXPECT_EQ(GetWindowThreadProcessId(child, nullptr), preview.ThreadId());

  ASSERT_TRUE(DestroyWindow(parent));
  std::vector<std::pair<HWND, UINT>> expected = {
      {parent, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
  EXPECT_EQ(DestroySequence(), expected);
  for (const LoggedMessage& m : MessageLog::Only({WM_DESTROY, WM_NCDESTROY}))
    EXPECT_EQ(m.threadId, m.hwnd == child ? preview.ThreadId() : GetCurrentThreadId());
  EXPECT_FALSE(IsWindow(child));
  // The child's thread keeps running its loop.
  EXPECT_TRUE(PostThreadMessageW(preview.ThreadId(), WM_USER, 0, 0));
  preview.Stop();
}

struct ChattyChild {
  HWND parent = nullptr;
  HWND child = nullptr;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> answered{0};
};

// A child window on its own thread that keeps sending to its parent until
// the parent is gone, then runs its loop until the child window is gone.
DWORD RunChattyChild(LPVOID parameter) {
  auto* c = static_cast<ChattyChild*>(parameter);
  c->child = MakeWindow(L"Chatty", c->parent, 9, WS_CHILD | WS_VISIBLE);
  SetEvent(c->ready);
  while (SendMessageW(c->parent, WM_USER + 20, 0, 0) == 20) ++c->answered;
  MSG msg;
  while (IsWindow(c->child) && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

TEST_F(MessageWindowDestroy, DestroyingAParentWhileItsChildThreadSendsToItDoesNotDeadlock) {
  static int handled;
  handled = 0;
  MessageLog::SetHandler([](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message != WM_USER + 20) return std::nullopt;
    if (++handled == 50) PostQuitMessage(0);  // sent messages alone never end GetMessage
    return 20;
  });
  ChattyChild chatty;
  chatty.parent = MakeWindow(L"Parent");
  HANDLE thread = CreateThread(nullptr, 0, RunChattyChild, &chatty, 0, nullptr);
  WaitForSingleObject(chatty.ready, INFINITE);
  // Answer some of the child's sends first, then destroy mid-conversation.
  EXPECT_EQ(vqtest::RunMessageLoop(), 0);
  EXPECT_GE(handled, 50);
  ASSERT_TRUE(DestroyWindow(chatty.parent));
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_FALSE(IsWindow(chatty.child));
  auto sequence = DestroySequence();
  ASSERT_EQ(sequence.size(), 4u);
  EXPECT_EQ(sequence.front(), std::make_pair(chatty.parent, static_cast<UINT>(WM_DESTROY)));
  EXPECT_EQ(sequence.back(), std::make_pair(chatty.parent, static_cast<UINT>(WM_NCDESTROY)));
  CloseHandle(thread);
  CloseHandle(chatty.ready);
}

TEST_F(MessageWindowDestroy, OwnedWindowsGoBeforeTheirOwner) {
  HWND owner = MakeWindow(L"Owner");
  HWND local = MakeWindow(L"Owned", owner, 0, WS_POPUP);
  WindowThread remote(L"Owned elsewhere", owner, WS_POPUP);
  EXPECT_EQ(GetWindow(local, GW_OWNER), owner);
  EXPECT_EQ(GetParent(local), owner) << "a popup's parent is its owner";
  EXPECT_FALSE(IsChild(owner, local));
  EXPECT_EQ(GetWindow(remote.Window(), GW_OWNER), owner);
  ASSERT_TRUE(DestroyWindow(owner));
  auto sequence = DestroySequence();
  ASSERT_EQ(sequence.size(), 6u);
  auto position = [&](HWND w, UINT m) {
    return std::find(sequence.begin(), sequence.end(), std::make_pair(w, m)) - sequence.begin();
  };
  EXPECT_LT(position(local, WM_NCDESTROY), position(owner, WM_DESTROY));
  EXPECT_LT(position(remote.Window(), WM_NCDESTROY), position(owner, WM_DESTROY));
  EXPECT_EQ(sequence.back(), std::make_pair(owner, static_cast<UINT>(WM_NCDESTROY)));
  for (const LoggedMessage& m : MessageLog::Only({WM_DESTROY})) {
    if (m.hwnd == remote.Window()) {
      EXPECT_EQ(m.threadId, remote.ThreadId());
    }
  }
  EXPECT_FALSE(IsWindow(local));
  EXPECT_FALSE(IsWindow(remote.Window()));
}

TEST_F(MessageWindowDestroy, OnlyTheOwningThreadMayDestroyAWindow) {
  WindowThread other(L"Foreign");
  EXPECT_FALSE(DestroyWindow(other.Window()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsWindow(other.Window()));
  // Asking it to close works: WM_CLOSE's default destroys it on its thread.
  SendMessageW(other.Window(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(other.Window()));
  EXPECT_EQ(MessageLog::Count(WM_DESTROY), 1u);
}

TEST_F(MessageWindowDestroy, DestroyWindowCalledAgainDuringDestroyIsIgnored) {
  MessageLog::SetHandler([](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_DESTROY) {
      EXPECT_FALSE(DestroyWindow(hwnd));
      EXPECT_TRUE(IsWindow(hwnd));
    }
    return std::nullopt;
  });
  HWND window = MakeWindow(L"Twice");
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_EQ(MessageLog::Count(WM_DESTROY), 1u);
  EXPECT_EQ(MessageLog::Count(WM_NCDESTROY), 1u);
}

struct BusyReceiver {
  HWND window = nullptr;
  HANDLE busy = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  LRESULT sendResult = -1;
};
BusyReceiver* g_busy = nullptr;

DWORD SendWhileBusy(LPVOID) {
  g_busy->sendResult = SendMessageW(g_busy->window, WM_USER + 2, 0, 0);
  return 0;
}

TEST_F(MessageWindowDestroy, ASentMessageToAWindowDestroyedMeanwhileIsAnsweredWithZero) {
  BusyReceiver busy;
  g_busy = &busy;
  MessageLog::SetHandler([](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_USER + 1) {
      // Busy while the send queues up, then the window goes.
      SetEvent(g_busy->busy);
      WaitForSingleObject(g_busy->go, INFINITE);
      DestroyWindow(hwnd);
      return 0;
    }
    if (message == WM_USER + 2) return 77;
    return std::nullopt;
  });
  WindowThread worker(L"Worker");
  busy.window = worker.Window();
  EXPECT_EQ(SendMessageW(busy.window, WM_USER + 2, 0, 0), 77);
  PostMessageW(busy.window, WM_USER + 1, 0, 0);
  WaitForSingleObject(busy.busy, INFINITE);
  HANDLE sender = CreateThread(nullptr, 0, SendWhileBusy, nullptr, 0, nullptr);
  EXPECT_EQ(WaitForSingleObject(sender, 50), WAIT_TIMEOUT);
  SetEvent(busy.go);
  ASSERT_EQ(WaitForSingleObject(sender, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(busy.sendResult, 0);
  EXPECT_EQ(MessageLog::Count(WM_USER + 2), 1u) << "only the first send reached the procedure";
  EXPECT_FALSE(IsWindow(busy.window));
  worker.Stop();
  CloseHandle(sender);
  CloseHandle(busy.busy);
  CloseHandle(busy.go);
  g_busy = nullptr;
}

}  // namespace

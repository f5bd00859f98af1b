// The end of the session as the program's own quit: SIGTERM, SIGINT and
// SIGHUP, and a request from another thread (a lost display), become the
// quit of the thread that made the scope, after the work posted to it
// before, and say what asked; outside a scope the signals keep the handling
// they had.
#include "platform/win/SessionEnd.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/win/MessageQueue.h"
#include "platform/win/Threads.h"

namespace {

using namespace std::chrono_literals;

constexpr UINT WM_WORK = WM_APP + 1;

// Waits for the quit of this thread; work posted once it is asked still
// comes first, as the quit waits for an otherwise empty queue.
bool QuitArrives() {
  MSG msg{};
  const auto end = std::chrono::steady_clock::now() + 60s;
  while (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) || msg.message != WM_QUIT) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  PostThreadMessageW(GetCurrentThreadId(), WM_WORK, 0, 0);
  return PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_WORK &&
         PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_QUIT;
}

std::atomic<int> ownHandlerCalls{0};
void OwnHandler(int) { ++ownHandlerCalls; }

TEST(MessageOnSessionEnd, EachSignalBecomesAQuitOfTheScopesThread) {
  vqplatform::SessionEndScope scope;
  EXPECT_EQ(vqplatform::SessionEndScope::EndReason(), nullptr);
  for (auto [signal, name] : {std::pair{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}}) {
    ASSERT_EQ(raise(signal), 0);
    EXPECT_TRUE(QuitArrives()) << signal;
    EXPECT_STREQ(vqplatform::SessionEndScope::EndReason(), name);
  }
  EXPECT_EQ(vqplatform::SessionEndScope::EndRequests(), 3);
}

TEST(MessageOnSessionEnd, ARequestFromAnotherThreadReachesTheScopesThread) {
  vqplatform::SessionEndScope scope;
  // Taken by another thread of the program.
  std::thread([] { raise(SIGTERM); }).join();
  EXPECT_TRUE(QuitArrives());
  std::thread([] { vqplatform::RequestSessionEnd(); }).join();
  EXPECT_TRUE(QuitArrives());
  EXPECT_STREQ(vqplatform::SessionEndScope::EndReason(), "the loss of the display");
  EXPECT_EQ(vqplatform::SessionEndScope::EndRequests(), 2);
}

TEST(MessageOnSessionEnd, OutsideAScopeSignalsKeepTheirHandlingAndRequestsAreDropped) {
  ownHandlerCalls = 0;
  struct sigaction own {}, previous {};
  own.sa_handler = OwnHandler;
  sigemptyset(&own.sa_mask);
  ASSERT_EQ(sigaction(SIGTERM, &own, &previous), 0);
  {
    vqplatform::SessionEndScope scope;
    {
      // A scope inside a scope changes nothing, and its end neither.
      vqplatform::SessionEndScope inner;
    }
    ASSERT_EQ(raise(SIGTERM), 0);
    EXPECT_TRUE(QuitArrives());
    EXPECT_EQ(ownHandlerCalls.load(), 0);
  }
  ASSERT_EQ(raise(SIGTERM), 0);
  EXPECT_EQ(ownHandlerCalls.load(), 1) << "the handler from before the scope is back";
  // A request without a scope is not kept for the next one.
  vqplatform::RequestSessionEnd();
  {
    vqplatform::SessionEndScope scope;
    vqplatform::RequestSessionEnd();
    EXPECT_TRUE(QuitArrives());
  }
  // The watcher handles every request queued before it stops.
  EXPECT_EQ(vqplatform::SessionEndScope::EndRequests(), 1);
  sigaction(SIGTERM, &previous, nullptr);
}

}  // namespace

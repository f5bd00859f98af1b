// MFC's critical section, event and single lock over the layer's objects.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/mfc/SyncObjects.h"
#include "platform/win/Clock.h"
#include "platform/win/Threads.h"
#include "tests/support/TestEnv.h"

namespace {

TEST(ThreadMfcSync, CriticalSectionNestsOnOneThreadAndBlocksOthers) {
  CCriticalSection lock;
  CSingleLock outer(&lock, TRUE);
  EXPECT_TRUE(outer.IsLocked());
  {
    CSingleLock inner(&lock, TRUE);  // the same thread takes it again
    EXPECT_TRUE(inner.IsLocked());
  }
  std::atomic<BOOL> other{TRUE};
  std::thread([&] { other = lock.Lock(0); }).join();
  EXPECT_FALSE(other);
  outer.Unlock();
  EXPECT_FALSE(outer.IsLocked());
  std::thread([&] {
    other = lock.Lock(0);
    if (other) lock.Unlock();
  }).join();
  EXPECT_TRUE(other);
}

TEST(ThreadMfcSync, EventWakesAWaitingThreadAndTimesOutOnTheClock) {
  vqplatform::ManualClockScope manual;
  CEvent stop;  // auto-reset, not signalled
  std::atomic<BOOL> result{-1};
  std::thread waiter([&] { result = stop.Lock(800); });
  ASSERT_TRUE(vqplatform::Clock::WaitForTimedWaiters(1, vqtest::kPatience));
  vqplatform::Clock::Advance(800);
  waiter.join();
  EXPECT_FALSE(result);

  std::thread second([&] { result = stop.Lock(); });
  stop.SetEvent();
  second.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(WaitForSingleObject(stop, 0), WAIT_TIMEOUT) << "auto-reset";

  CEvent named(FALSE, TRUE, L"StopInspectThread");
  CEvent same(FALSE, TRUE, L"StopInspectThread");
  named.SetEvent();
  EXPECT_TRUE(same.Lock(0));
  EXPECT_TRUE(same.Lock(0)) << "manual reset stays set";
  same.ResetEvent();
  EXPECT_FALSE(named.Lock(0));
}

}  // namespace

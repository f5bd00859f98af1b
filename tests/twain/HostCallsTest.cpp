// The source's test of whether a host's thread is back in its own code,
// with calls shaped as a manager's: a host function calls a manager
// function, which calls the entry, which notes the call as DS_Entry does;
// the manager's return path may wait on a lock. Any doubt must read "not
// yet"; a thread surely back, ended, or waiting in its own code must read
// "back" soon, with no file descriptor free too.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "twain/HostCalls.h"

namespace {

using namespace std::chrono_literals;

constexpr TW_UINT32 kHost = 7;

CHostCalls* g_calls = nullptr;
// Held by the test while the manager's return path must wait.
std::mutex g_managerLock;
// Calls that have left the entry.
std::atomic<int> g_leftEntry{0};

// DS_Entry's bookkeeping.
__attribute__((noinline)) void Entry() {
  TW_IDENTITY origin{};
  origin.Id = kHost;
  {
    CHostCallScope call(*g_calls, &origin, FindCallerFrame(__builtin_return_address(0)));
    asm volatile("" ::: "memory");
  }
  ++g_leftEntry;
}

// A manager whose return path waits on its lock.
__attribute__((noinline)) void ManagerEntry() {
  Entry();
  std::lock_guard lock(g_managerLock);
  asm volatile("" ::: "memory");
}

// A host thread: one call through the manager, then a wait in its own code
// until told to end.
class HostThread {
 public:
  HostThread() : thread_([this] { Run(); }) {}
  ~HostThread() {
    {
      std::lock_guard lock(mutex_);
      end_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  bool Returned() {
    std::lock_guard lock(mutex_);
    return returned_;
  }

 private:
  void Run() {
    ManagerEntry();
    std::unique_lock lock(mutex_);
    returned_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return end_; });
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  bool returned_ = false, end_ = false;
  std::thread thread_;
};

bool BackWithin(CHostCalls& calls, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (calls.BackInHost(kHost)) return true;
    std::this_thread::sleep_for(1ms);
  }
  return calls.BackInHost(kHost);
}

class HostCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls = &calls;
    g_leftEntry = 0;
  }
  // Until `calls` calls have left the entry (they may still be in the manager).
  static void WaitForLeft(int count) {
    while (g_leftEntry < count) std::this_thread::sleep_for(100us);
  }
  void TearDown() override { g_calls = nullptr; }
  CHostCalls calls;
};

TEST_F(HostCalls, TheCallersFrameIsFound) {
  CallerFrame frame;
  [&]() __attribute__((noinline)) { frame = FindCallerFrame(__builtin_return_address(0)); }();
  EXPECT_NE(frame.slot, 0u);
  EXPECT_NE(frame.address, 0u);
  EXPECT_EQ(frame.frameTop, frame.slot + sizeof(uintptr_t));
}

TEST_F(HostCalls, AManagerWaitingOnALockInItsReturnPathIsNotBack) {
  std::unique_lock managerLock(g_managerLock);
  HostThread host;
  WaitForLeft(1);
  // Waiting in the kernel inside the manager's frame, for a second.
  const auto end = std::chrono::steady_clock::now() + 1s;
  int looks = 0, back = 0;
  while (std::chrono::steady_clock::now() < end) {
    ++looks;
    if (calls.BackInHost(kHost)) ++back;
    std::this_thread::sleep_for(200us);
  }
  EXPECT_FALSE(host.Returned());
  EXPECT_EQ(back, 0) << "of " << looks << " looks";
  managerLock.unlock();
  EXPECT_TRUE(BackWithin(calls, 2000ms)) << "back in its own wait";
}

TEST_F(HostCalls, WithNoDescriptorFreeADoubtIsNotYet) {
  std::unique_lock managerLock(g_managerLock);
  HostThread host;
  WaitForLeft(1);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit none = saved;
  none.rlim_cur = 0;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
  int back = 0;
  for (int look = 0; look < 200; ++look)
    if (calls.BackInHost(kHost)) ++back;
  managerLock.unlock();
  // Back in its own wait: seen without a descriptor too.
  const bool seenBack = BackWithin(calls, 2000ms);
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(back, 0);
  EXPECT_TRUE(seenBack);
}

TEST_F(HostCalls, EveryCallingThreadIsWatched) {
  std::unique_lock managerLock(g_managerLock);
  HostThread first;  // waits in the manager's return path
  WaitForLeft(1);
  // A second thread of the host calls and is back in its own code.
  std::thread second([] { Entry(); });
  second.join();
  int back = 0;
  for (int look = 0; look < 200; ++look) {
    if (calls.BackInHost(kHost)) ++back;
    std::this_thread::sleep_for(200us);
  }
  EXPECT_EQ(back, 0) << "the first thread is still in the manager";
  managerLock.unlock();
  EXPECT_TRUE(BackWithin(calls, 2000ms));
}

TEST_F(HostCalls, AThreadInACallIsNotBackAndAHostThatNeverCalledIs) {
  EXPECT_TRUE(calls.BackInHost(kHost));
  TW_IDENTITY origin{};
  origin.Id = kHost;
  std::atomic<bool> inside{false}, leave{false};
  std::thread caller([&] {
    CHostCallScope call(calls, &origin, CallerFrame{});
    inside = true;
    while (!leave) std::this_thread::sleep_for(1ms);
  });
  while (!inside) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(calls.BackInHost(kHost));
  EXPECT_TRUE(calls.InCall(kHost));
  leave = true;
  caller.join();
  EXPECT_TRUE(BackWithin(calls, 2000ms)) << "an ended thread is back";
}

}  // namespace

// The manual clock: Sleep, wait time-outs, tick counts and local time follow
// the time a test advances, and nothing else.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/win/Clock.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "tests/support/TestEnv.h"

namespace {

using vqplatform::Clock;
using vqplatform::ManualClockScope;

SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms) {
  SYSTEMTIME time{};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wSecond = second;
  time.wMilliseconds = ms;
  return time;
}

struct SleepJob {
  DWORD milliseconds;
  HANDLE done;
};

DWORD SleepThenSignal(LPVOID parameter) {
  auto* job = static_cast<SleepJob*>(parameter);
  Sleep(job->milliseconds);
  SetEvent(job->done);
  return 0;
}

TEST(ThreadClock, SleepEndsExactlyWhenManualTimePassesItsDeadline) {
  ManualClockScope manual;
  SleepJob job{800, CreateEvent(nullptr, TRUE, FALSE, nullptr)};
  HANDLE thread = CreateThread(nullptr, 0, SleepThenSignal, &job, 0, nullptr);
  ASSERT_TRUE(Clock::WaitForTimedWaiters(1, vqtest::kPatience));
  Clock::Advance(799);
  EXPECT_TRUE(Clock::WaitForTimedWaiters(1, vqtest::kPatience)) << "woken before its deadline";
  EXPECT_EQ(WaitForSingleObject(job.done, 0), WAIT_TIMEOUT);
  Clock::Advance(1);
  EXPECT_EQ(WaitForSingleObject(job.done, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(job.done);
}

// A thread woken for something (here an event that a thread the clock woke
// sets) is at work until it waits again, however long its work takes: only
// then may a test move the clock on.
TEST(ThreadClock, ThreadsWokenOrStartedAreAtWorkUntilTheyWaitAgain) {
  ManualClockScope manual;
  struct Chain {
    HANDLE relay = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    std::atomic<bool> hold{true};
    std::atomic<int> handled{0};
  } chain;
  HANDLE sleeper = CreateThread(nullptr, 0, [](LPVOID c) -> DWORD {
    Sleep(100);
    return SetEvent(static_cast<Chain*>(c)->relay);
  }, &chain, 0, nullptr);
  HANDLE worker = CreateThread(nullptr, 0, [](LPVOID p) -> DWORD {
    auto* c = static_cast<Chain*>(p);
    WaitForSingleObject(c->relay, INFINITE);
    while (c->hold) std::this_thread::yield();  // work outside the layer's waits
    ++c->handled;
    return WaitForSingleObject(c->relay, INFINITE);
  }, &chain, 0, nullptr);
  ASSERT_TRUE(Clock::WaitForThreadsAtRest(vqtest::kPatience)) << "both started and wait";
  Clock::Advance(100);
  EXPECT_EQ(WaitForSingleObject(sleeper, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(Clock::ThreadsAtWork(), 1u) << "the worker the relay woke";
  chain.hold = false;
  EXPECT_TRUE(Clock::WaitForThreadsAtRest(vqtest::kPatience));
  EXPECT_EQ(chain.handled, 1);
  SetEvent(chain.relay);
  EXPECT_EQ(WaitForSingleObject(worker, INFINITE), WAIT_OBJECT_0);
  CloseHandle(sleeper);
  CloseHandle(worker);
  CloseHandle(chain.relay);
}

struct TimedWaitJob {
  HANDLE event;
  DWORD timeout;
  DWORD result = 0xDEAD;
  HANDLE done;
};

DWORD WaitWithTimeout(LPVOID parameter) {
  auto* job = static_cast<TimedWaitJob*>(parameter);
  job->result = WaitForSingleObject(job->event, job->timeout);
  SetEvent(job->done);
  return 0;
}

TEST(ThreadClock, WaitTimeOutsFollowManualTimeAndSignalsStillWin) {
  ManualClockScope manual;
  TimedWaitJob job{CreateEvent(nullptr, FALSE, FALSE, nullptr), 3000, 0xDEAD,
                   CreateEvent(nullptr, FALSE, FALSE, nullptr)};
  HANDLE thread = CreateThread(nullptr, 0, WaitWithTimeout, &job, 0, nullptr);
  ASSERT_TRUE(Clock::WaitForTimedWaiters(1, vqtest::kPatience));
  Clock::Advance(2999);
  EXPECT_EQ(WaitForSingleObject(job.done, 0), WAIT_TIMEOUT);
  Clock::Advance(1);
  ASSERT_EQ(WaitForSingleObject(job.done, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(job.result, WAIT_TIMEOUT);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  // A signal ends the wait without any time passing.
  job.result = 0xDEAD;
  thread = CreateThread(nullptr, 0, WaitWithTimeout, &job, 0, nullptr);
  ASSERT_TRUE(Clock::WaitForTimedWaiters(1, vqtest::kPatience));
  SetEvent(job.event);
  ASSERT_EQ(WaitForSingleObject(job.done, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(job.result, WAIT_OBJECT_0);
  EXPECT_EQ(Clock::TimedWaiterCount(), 0u);
  WaitForSingleObject(thread, INFINITE);
  for (HANDLE handle : {thread, job.event, job.done}) CloseHandle(handle);
}

TEST(ThreadClock, AdvanceWakesSeveralSleepersInDeadlineOrder) {
  ManualClockScope manual;
  SleepJob shortJob{300, CreateEvent(nullptr, TRUE, FALSE, nullptr)};
  SleepJob longJob{1000, CreateEvent(nullptr, TRUE, FALSE, nullptr)};
  HANDLE threads[2] = {CreateThread(nullptr, 0, SleepThenSignal, &shortJob, 0, nullptr),
                       CreateThread(nullptr, 0, SleepThenSignal, &longJob, 0, nullptr)};
  ASSERT_TRUE(Clock::WaitForTimedWaiters(2, vqtest::kPatience));
  Clock::Advance(500);
  EXPECT_EQ(WaitForSingleObject(shortJob.done, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(longJob.done, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(Clock::WaitForTimedWaiters(1, vqtest::kPatience));
  Clock::Advance(500);
  EXPECT_EQ(WaitForMultipleObjects(2, threads, TRUE, INFINITE), WAIT_OBJECT_0);
  for (HANDLE handle : {threads[0], threads[1], shortJob.done, longJob.done}) CloseHandle(handle);
}

TEST(ThreadClock, TickCountMovesOnlyWithAdvance) {
  ManualClockScope manual;
  DWORD start = GetTickCount();
  ULONGLONG start64 = GetTickCount64();
  Sleep(0);
  EXPECT_EQ(GetTickCount(), start);
  Clock::Advance(1234);
  EXPECT_EQ(GetTickCount() - start, 1234u);
  EXPECT_EQ(GetTickCount64() - start64, 1234u);
  // A time-out of zero never waits.
  HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(ThreadClock, TicksNeverRunBackwardsWhenRealTimeReturns) {
  DWORD advanced = 0;
  {
    ManualClockScope manual;
    Clock::Advance(3600 * 1000);
    advanced = GetTickCount();
  }
  EXPECT_LT(GetTickCount() - advanced, 60u * 1000u) << "ticks jumped back to the real clock";
  // A wait started now still takes its real time-out, not one hour less.
  HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 1), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(ThreadClock, LocalTimeFollowsTheManualDateAcrossMidnight) {
  ManualClockScope manual(MakeTime(2024, 2, 29, 23, 59, 59, 500));
  SYSTEMTIME now{};
  GetLocalTime(&now);
  EXPECT_EQ(now.wYear, 2024);
  EXPECT_EQ(now.wMonth, 2);
  EXPECT_EQ(now.wDay, 29);
  EXPECT_EQ(now.wDayOfWeek, 4);  // a Thursday
  EXPECT_EQ(now.wHour, 23);
  EXPECT_EQ(now.wSecond, 59);
  EXPECT_EQ(now.wMilliseconds, 500);
  Clock::Advance(600);
  GetLocalTime(&now);
  EXPECT_EQ(now.wMonth, 3);
  EXPECT_EQ(now.wDay, 1);
  EXPECT_EQ(now.wDayOfWeek, 5);
  EXPECT_EQ(now.wHour, 0);
  EXPECT_EQ(now.wMinute, 0);
  EXPECT_EQ(now.wSecond, 0);
  EXPECT_EQ(now.wMilliseconds, 100);
}

TEST(ThreadClock, LocalTimeUsesTheProcessTimeZone) {
  std::string saved = std::getenv("TZ") ? std::getenv("TZ") : "";
  setenv("TZ", "Asia/Shanghai", 1);
  {
    ManualClockScope manual(MakeTime(2025, 1, 1, 3, 30, 0, 0));
    SYSTEMTIME local{}, utc{};
    GetLocalTime(&local);
    GetSystemTime(&utc);
    EXPECT_EQ(local.wHour, 3);
    EXPECT_EQ(local.wDay, 1);
    EXPECT_EQ(utc.wHour, 19);
    EXPECT_EQ(utc.wDay, 31);
    EXPECT_EQ(utc.wMonth, 12);
    EXPECT_EQ(utc.wYear, 2024);
  }
  setenv("TZ", saved.c_str(), 1);
}

TEST(ThreadClock, ReturningToRealTimeReleasesManualWaits) {
  SleepJob job{5, CreateEvent(nullptr, TRUE, FALSE, nullptr)};
  HANDLE thread = nullptr;
  {
    ManualClockScope manual;
    thread = CreateThread(nullptr, 0, SleepThenSignal, &job, 0, nullptr);
    ASSERT_TRUE(Clock::WaitForTimedWaiters(1, vqtest::kPatience));
    EXPECT_EQ(WaitForSingleObject(job.done, 0), WAIT_TIMEOUT);
  }
  EXPECT_FALSE(Clock::IsManual());
  EXPECT_EQ(WaitForSingleObject(job.done, INFINITE), WAIT_OBJECT_0);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(job.done);
}

}  // namespace

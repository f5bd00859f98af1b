// Events, waits, thread handles, critical sections and interlocked counters
// across real threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/Clock.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"

namespace {

struct WaitReport {
  HANDLE wait = nullptr;
  HANDLE reached = nullptr;
  LONG woken = 0;
};

DWORD WaitThenReport(LPVOID parameter) {
  auto* report = static_cast<WaitReport*>(parameter);
  if (WaitForSingleObject(report->wait, INFINITE) != WAIT_OBJECT_0) return 1;
  InterlockedIncrement(&report->woken);
  SetEvent(report->reached);
  return 0;
}

TEST(ThreadSync, AutoResetEventReleasesOneWaiterPerSet) {
  WaitReport report;
  report.wait = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  report.reached = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  HANDLE threads[2];
  for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, WaitThenReport, &report, 0, nullptr);

  ASSERT_TRUE(SetEvent(report.wait));
  ASSERT_EQ(WaitForSingleObject(report.reached, INFINITE), WAIT_OBJECT_0);
  // The event reset itself: the other waiter stays blocked.
  EXPECT_EQ(WaitForSingleObject(report.reached, 50), WAIT_TIMEOUT);
  EXPECT_EQ(__atomic_load_n(&report.woken, __ATOMIC_SEQ_CST), 1);

  ASSERT_TRUE(SetEvent(report.wait));
  ASSERT_EQ(WaitForMultipleObjects(2, threads, TRUE, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(report.woken, 2);
  EXPECT_EQ(WaitForSingleObject(report.wait, 0), WAIT_TIMEOUT);
  for (HANDLE handle : {threads[0], threads[1], report.wait, report.reached}) EXPECT_TRUE(CloseHandle(handle));
}

TEST(ThreadSync, ManualResetEventReleasesEveryWaiterAndStaysSet) {
  WaitReport report;
  report.wait = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  report.reached = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  std::vector<HANDLE> threads;
  for (int i = 0; i < 3; ++i) threads.push_back(CreateThread(nullptr, 0, WaitThenReport, &report, 0, nullptr));
  SetEvent(report.wait);
  ASSERT_EQ(WaitForMultipleObjects(3, threads.data(), TRUE, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(report.woken, 3);
  EXPECT_EQ(WaitForSingleObject(report.wait, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(report.wait, 0), WAIT_OBJECT_0);
  ResetEvent(report.wait);
  EXPECT_EQ(WaitForSingleObject(report.wait, 0), WAIT_TIMEOUT);
  for (HANDLE thread : threads) CloseHandle(thread);
  CloseHandle(report.wait);
  CloseHandle(report.reached);
}

TEST(ThreadSync, InitiallySignalledAutoEventIsConsumedByOneWait) {
  HANDLE event = CreateEvent(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(ThreadSync, NamedEventsAreOneObjectInTheProcess) {
  HANDLE first = CreateEvent(nullptr, FALSE, FALSE, L"StopInspectThread");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  HANDLE second = CreateEvent(nullptr, FALSE, TRUE, L"StopInspectThread");
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  // The second creation's initial state does not touch the existing event.
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT);

  HANDLE other = CreateEvent(nullptr, FALSE, FALSE, L"StopRecognizeThread");
  SetEvent(second);
  EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);

  HANDLE opened = OpenEvent(EVENT_ALL_ACCESS, FALSE, L"StopInspectThread");
  ASSERT_NE(opened, nullptr);
  SetEvent(opened);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);

  // The name lives while any handle is open.
  CloseHandle(first);
  CloseHandle(second);
  HANDLE reopened = OpenEvent(SYNCHRONIZE, FALSE, L"StopInspectThread");
  EXPECT_NE(reopened, nullptr);
  CloseHandle(reopened);
  CloseHandle(opened);
  EXPECT_EQ(OpenEvent(SYNCHRONIZE, FALSE, L"StopInspectThread"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  HANDLE fresh = CreateEvent(nullptr, FALSE, FALSE, L"StopInspectThread");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(fresh);
  CloseHandle(other);
}

TEST(ThreadSync, NamedEventStopsAThreadThatOpenedItByName) {
  HANDLE stop = CreateEvent(nullptr, FALSE, FALSE, L"StopPODInspectThread");
  HANDLE worker = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        HANDLE own = CreateEvent(nullptr, FALSE, FALSE, L"StopPODInspectThread");
        DWORD rounds = 0;
        while (WaitForSingleObject(own, 1) == WAIT_TIMEOUT) ++rounds;
        CloseHandle(own);
        return 7;
      },
      nullptr, 0, nullptr);
  SetEvent(stop);
  ASSERT_EQ(WaitForSingleObject(worker, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(worker, &code));
  EXPECT_EQ(code, 7u);
  CloseHandle(worker);
  CloseHandle(stop);
}

TEST(ThreadSync, WaitForMultipleObjectsReportsTheFirstSignalledAndWaitAllTakesAll) {
  HANDLE events[3];
  for (HANDLE& event : events) event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  SetEvent(events[2]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_TIMEOUT);

  // waitAll consumes nothing until every object is signalled.
  SetEvent(events[0]);
  SetEvent(events[1]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(events[0], 0), WAIT_OBJECT_0);
  SetEvent(events[0]);
  SetEvent(events[2]);
  EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 0), WAIT_OBJECT_0);
  for (HANDLE event : events) EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  for (HANDLE event : events) CloseHandle(event);
}

TEST(ThreadSync, BadHandlesFailInsteadOfWaiting) {
  HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  ASSERT_TRUE(CloseHandle(event));
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_FAILED);
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(nullptr, INFINITE), WAIT_FAILED);
  HANDLE none[1] = {nullptr};
  EXPECT_EQ(WaitForMultipleObjects(0, none, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(OpenEvent(SYNCHRONIZE, FALSE, L""), nullptr);
}

// A thread-local object that is slow to go, as a library's may be.
std::atomic<bool> g_slowObjectGone{false};
struct SlowToGo {
  ~SlowToGo() {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    g_slowObjectGone = true;
  }
};

TEST(ThreadSync, ThreadHandleIsSignalledWhenTheThreadEnds) {
  HANDLE release = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID parameter) -> DWORD {
        thread_local SlowToGo slow;
        (void)slow;
        WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
        return 42;
      },
      release, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
  SetEvent(release);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  // Ended means its thread-local objects are gone too: a library the
  // waiter unloads next has nothing left to run there.
  EXPECT_TRUE(g_slowObjectGone);
  // A thread handle stays signalled.
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  CloseHandle(thread);
  CloseHandle(release);
}

TEST(ThreadSync, ExitThreadEndsTheThreadWithItsCodeAndUnwinds) {
  struct Flag {
    bool unwound = false;
    bool afterExit = false;
  } flag;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID parameter) -> DWORD {
        auto* f = static_cast<Flag*>(parameter);
        struct Guard {
          Flag* f;
          ~Guard() { f->unwound = true; }
        } guard{f};
        ExitThread(3);
        f->afterExit = true;
        return 0;
      },
      &flag, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 3u);
  EXPECT_TRUE(flag.unwound);
  EXPECT_FALSE(flag.afterExit);
  CloseHandle(thread);
}

TEST(ThreadSync, ThreadIdsAndLastErrorsArePerThread) {
  SetLastError(1234);
  std::atomic<DWORD> otherId{0};
  std::atomic<DWORD> otherError{0};
  std::thread([&] {
    otherError = GetLastError();
    SetLastError(99);
    otherId = GetCurrentThreadId();
  }).join();
  EXPECT_EQ(otherError.load(), 0u);
  EXPECT_EQ(GetLastError(), 1234u);
  EXPECT_NE(otherId.load(), GetCurrentThreadId());
  EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
}

TEST(ThreadSync, CriticalSectionIsReentrantAndExcludesOtherThreads) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EnterCriticalSection(&section);
  std::atomic<bool> otherGotIt{true};
  std::thread([&] { otherGotIt = TryEnterCriticalSection(&section) != FALSE; }).join();
  EXPECT_FALSE(otherGotIt);
  LeaveCriticalSection(&section);
  std::thread([&] { otherGotIt = TryEnterCriticalSection(&section) != FALSE; }).join();
  EXPECT_FALSE(otherGotIt) << "still held once";
  LeaveCriticalSection(&section);
  std::thread([&] {
    otherGotIt = TryEnterCriticalSection(&section) != FALSE;
    if (otherGotIt) LeaveCriticalSection(&section);
  }).join();
  EXPECT_TRUE(otherGotIt);
  DeleteCriticalSection(&section);
}

TEST(ThreadSync, InterlockedCountersAndCriticalSectionsAgreeUnderContention) {
  struct Shared {
    LONG counter = 0;
    CRITICAL_SECTION section;
    long guarded = 0;
  } shared;
  InitializeCriticalSection(&shared.section);
  std::vector<HANDLE> threads;
  for (int i = 0; i < 4; ++i) {
    threads.push_back(CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
          auto* s = static_cast<Shared*>(parameter);
          for (int n = 0; n < 5000; ++n) {
            InterlockedIncrement(&s->counter);
            EnterCriticalSection(&s->section);
            ++s->guarded;
            LeaveCriticalSection(&s->section);
          }
          return 0;
        },
        &shared, 0, nullptr));
  }
  ASSERT_EQ(WaitForMultipleObjects(4, threads.data(), TRUE, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(shared.counter, 20000);
  EXPECT_EQ(shared.guarded, 20000);
  EXPECT_EQ(InterlockedDecrement(&shared.counter), 19999);
  EXPECT_EQ(InterlockedExchange(&shared.counter, 5), 19999);
  EXPECT_EQ(InterlockedCompareExchange(&shared.counter, 9, 4), 5);
  EXPECT_EQ(InterlockedCompareExchange(&shared.counter, 9, 5), 5);
  EXPECT_EQ(shared.counter, 9);
  for (HANDLE thread : threads) CloseHandle(thread);
  DeleteCriticalSection(&shared.section);
}

}  // namespace

#pragma once
// The one time source behind GetTickCount, GetLocalTime, Sleep, wait
// time-outs and timers. It runs on the real clocks, or in manual mode, where
// time stands still until a test advances it: a thread waiting for a
// time-out wakes when the advanced time passes its deadline. (So the thread
// that advances the clock must not itself Sleep or wait with a time-out.)
#include <chrono>
#include <cstdint>

#include "platform/win/WinTypes.h"

namespace vqplatform {

class Clock {
 public:
  // Milliseconds of the monotonic tick count.
  static uint64_t NowMs();
  // Wall-clock time (follows the manual time in manual mode).
  static std::chrono::system_clock::time_point WallNow();

  // Manual mode starting at the current real time, or at a local date and
  // time (interpreted in the process's time zone).
  static void SetManual();
  static void SetManual(const SYSTEMTIME& localTime);
  static bool IsManual();
  // Moves manual time forward and wakes the waits whose deadline it passes.
  static void Advance(std::chrono::milliseconds amount);
  static void Advance(uint64_t milliseconds) { Advance(std::chrono::milliseconds(milliseconds)); }
  // Back to the real clocks.
  static void SetReal();

  // Number of threads blocked in a wait with a deadline (Sleep, a time-out,
  // a message loop with a timer running).
  static size_t TimedWaiterCount();
  // Blocks (in real time, at most realTimeout) until at least `count` threads
  // wait for a deadline; lets a test advance the clock only once the threads
  // it drives are asleep. False when the count was not reached.
  static bool WaitForTimedWaiters(size_t count, std::chrono::milliseconds realTimeout);
  // Number of threads still at work on what the layer last woke them for (a
  // deadline passed, an object signalled, a message), or that CreateThread
  // started and that have not waited yet; the calling thread is not
  // counted. None: every thread the layer drives waits again, and the
  // manual clock may move on without running ahead of their work.
  static size_t ThreadsAtWork();
  // Blocks (in real time, at most realTimeout) until none is at work.
  static bool WaitForThreadsAtRest(std::chrono::milliseconds realTimeout);
};

// Manual mode for the lifetime of the scope (tests).
class ManualClockScope {
 public:
  ManualClockScope() { Clock::SetManual(); }
  explicit ManualClockScope(const SYSTEMTIME& localTime) { Clock::SetManual(localTime); }
  ~ManualClockScope() { Clock::SetReal(); }
  ManualClockScope(const ManualClockScope&) = delete;
  ManualClockScope& operator=(const ManualClockScope&) = delete;
};

// Splits a wall-clock time into local (or UTC) calendar fields.
SYSTEMTIME ToSystemTime(std::chrono::system_clock::time_point time, bool local);

}  // namespace vqplatform

DWORD GetTickCount();
ULONGLONG GetTickCount64();
void GetLocalTime(SYSTEMTIME* time);
void GetSystemTime(SYSTEMTIME* time);

#include "platform/win/Clock.h"

#include <atomic>
#include <ctime>
#include <mutex>

#include "platform/win/Dispatcher.h"

namespace vqplatform {
namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;
using std::chrono::system_clock;

// Manual state. Written under the dispatcher lock so that a thread deciding
// to wait and Advance never miss each other; read lock-free.
std::atomic<bool> g_manual{false};
std::atomic<uint64_t> g_manualTicks{0};
std::atomic<int64_t> g_manualWallMs{0};  // wall time at g_manualTicks, ms since the epoch
// Added to the real tick count so that ticks never run backwards after
// manual time was advanced past the real clock.
std::atomic<uint64_t> g_realOffset{0};

uint64_t RealTicks() {
  return static_cast<uint64_t>(
             duration_cast<milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count()) +
         g_realOffset.load();
}

void EnterManual(system_clock::time_point start) {
  std::lock_guard lock(Dispatcher::Mutex());
  if (!g_manual.load()) g_manualTicks.store(RealTicks());
  g_manualWallMs.store(duration_cast<milliseconds>(start.time_since_epoch()).count());
  g_manual.store(true);
  Dispatcher::WakeAllTimedWaiters();
}

}  // namespace

uint64_t Clock::NowMs() { return g_manual.load() ? g_manualTicks.load() : RealTicks(); }

system_clock::time_point Clock::WallNow() {
  if (!g_manual.load()) return system_clock::now();
  return system_clock::time_point(milliseconds(g_manualWallMs.load()));
}

void Clock::SetManual() { EnterManual(system_clock::now()); }

void Clock::SetManual(const SYSTEMTIME& localTime) {
  std::tm fields{};
  fields.tm_year = localTime.wYear - 1900;
  fields.tm_mon = localTime.wMonth - 1;
  fields.tm_mday = localTime.wDay;
  fields.tm_hour = localTime.wHour;
  fields.tm_min = localTime.wMinute;
  fields.tm_sec = localTime.wSecond;
  fields.tm_isdst = -1;
  tzset();
  std::time_t seconds = std::mktime(&fields);
  EnterManual(system_clock::from_time_t(seconds) + milliseconds(localTime.wMilliseconds));
}

bool Clock::IsManual() { return g_manual.load(); }

void Clock::Advance(milliseconds amount) {
  if (amount.count() <= 0) return;
  std::lock_guard lock(Dispatcher::Mutex());
  if (!g_manual.load()) return;
  uint64_t now = g_manualTicks.load() + static_cast<uint64_t>(amount.count());
  g_manualTicks.store(now);
  g_manualWallMs.store(g_manualWallMs.load() + amount.count());
  Dispatcher::WakeExpiredWaiters(now);
}

void Clock::SetReal() {
  std::lock_guard lock(Dispatcher::Mutex());
  if (!g_manual.load()) return;
  uint64_t manualNow = g_manualTicks.load();
  uint64_t realNow = RealTicks();
  if (manualNow > realNow) g_realOffset.store(g_realOffset.load() + (manualNow - realNow));
  g_manual.store(false);
  Dispatcher::WakeAllTimedWaiters();
}

size_t Clock::TimedWaiterCount() {
  std::lock_guard lock(Dispatcher::Mutex());
  return Dispatcher::TimedWaiterCount();
}

bool Clock::WaitForTimedWaiters(size_t count, milliseconds realTimeout) {
  std::unique_lock lock(Dispatcher::Mutex());
  return Dispatcher::WaitForTimedWaiters(lock, count, realTimeout);
}

size_t Clock::ThreadsAtWork() {
  std::lock_guard lock(Dispatcher::Mutex());
  return Dispatcher::ThreadsAtWork();
}

bool Clock::WaitForThreadsAtRest(milliseconds realTimeout) {
  std::unique_lock lock(Dispatcher::Mutex());
  return Dispatcher::WaitForThreadsAtRest(lock, realTimeout);
}

SYSTEMTIME ToSystemTime(system_clock::time_point time, bool local) {
  auto sinceEpoch = duration_cast<milliseconds>(time.time_since_epoch()).count();
  std::time_t seconds = static_cast<std::time_t>(sinceEpoch / 1000);
  int64_t millis = sinceEpoch % 1000;
  if (millis < 0) {
    millis += 1000;
    --seconds;
  }
  std::tm fields{};
  if (local) {
    tzset();
    localtime_r(&seconds, &fields);
  } else {
    gmtime_r(&seconds, &fields);
  }
  SYSTEMTIME result{};
  result.wYear = static_cast<WORD>(fields.tm_year + 1900);
  result.wMonth = static_cast<WORD>(fields.tm_mon + 1);
  result.wDayOfWeek = static_cast<WORD>(fields.tm_wday);
  result.wDay = static_cast<WORD>(fields.tm_mday);
  result.wHour = static_cast<WORD>(fields.tm_hour);
  result.wMinute = static_cast<WORD>(fields.tm_min);
  result.wSecond = static_cast<WORD>(fields.tm_sec);
  result.wMilliseconds = static_cast<WORD>(millis);
  return result;
}

}  // namespace vqplatform

DWORD GetTickCount() { return static_cast<DWORD>(vqplatform::Clock::NowMs()); }

ULONGLONG GetTickCount64() { return vqplatform::Clock::NowMs(); }

void GetLocalTime(SYSTEMTIME* time) {
  if (time) *time = vqplatform::ToSystemTime(vqplatform::Clock::WallNow(), true);
}

void GetSystemTime(SYSTEMTIME* time) {
  if (time) *time = vqplatform::ToSystemTime(vqplatform::Clock::WallNow(), false);
}

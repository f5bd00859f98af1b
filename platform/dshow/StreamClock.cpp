#include "platform/dshow/StreamClock.h"

#include "platform/win/Clock.h"
#include "platform/win/Handles.h"
#include "platform/win/Sync.h"

namespace vq::dshow {

StreamClock::StreamClock()
    : running_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), stopped_(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

StreamClock::~StreamClock() {
  CloseHandle(running_);
  CloseHandle(stopped_);
}

void StreamClock::Run() {
  startMs_ = vqplatform::Clock::NowMs();
  ResetEvent(stopped_);
  SetEvent(running_);
}

void StreamClock::Pause() {
  ResetEvent(running_);
  ResetEvent(stopped_);
}

void StreamClock::Stop() {
  ResetEvent(running_);
  SetEvent(stopped_);
}

bool StreamClock::WaitUntil(REFERENCE_TIME time) {
  const HANDLE either[2] = {stopped_, running_};
  if (WaitForMultipleObjects(2, either, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return false;
  const uint64_t offsetMs = time > 0 ? uint64_t(time) / 10000 : 0;
  for (;;) {
    const uint64_t deadline = startMs_ + offsetMs;
    const uint64_t now = vqplatform::Clock::NowMs();
    if (now >= deadline) return true;
    if (WaitForSingleObject(stopped_, DWORD(deadline - now)) == WAIT_OBJECT_0) return false;
  }
}

}  // namespace vq::dshow

#pragma once
// The stream time of a running filter on the layer's clock (manual in tests).
// A filter that paces its samples, as a renderer or a live device does, waits
// here until the run reaches a sample's time; stopping releases every wait.
#include <atomic>
#include <cstdint>

#include "platform/dshow/Com.h"

namespace vq::dshow {

class StreamClock {
 public:
  StreamClock();
  ~StreamClock();
  StreamClock(const StreamClock&) = delete;
  StreamClock& operator=(const StreamClock&) = delete;

  // Stream time 0 is now.
  void Run();
  // Waits hold until Run (or Stop).
  void Pause();
  void Stop();
  // Waits until the run has reached `time` (100-ns units); false when the
  // clock is stopped first.
  bool WaitUntil(REFERENCE_TIME time);

 private:
  HANDLE running_;  // manual reset, set while running
  HANDLE stopped_;  // manual reset, set while stopped
  std::atomic<uint64_t> startMs_{0};
};

}  // namespace vq::dshow

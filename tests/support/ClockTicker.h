#pragma once
// Runs the layer's manual clock from a thread of its own: it moves time on
// by one step each time the threads the test drives all sleep on it, so
// whatever the machine's load each of them sees the same frames at the
// same times. Past the patience without them it moves on anyway, so that a
// changed set of threads fails the test instead of hanging it.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/win/Clock.h"
#include "tests/support/TestEnv.h"

namespace vqtest {

class ClockTicker {
 public:
  // `sleepers`: how many threads must wait on the clock before a step.
  // `ready`: a further condition (work not clocked, still pending).
  // `beforeStep`: called on the ticker's thread before each step.
  ClockTicker(size_t sleepers, std::chrono::milliseconds step, std::function<bool()> ready = {},
              std::function<void()> beforeStep = {})
      : sleepers_(sleepers), step_(step), ready_(std::move(ready)), beforeStep_(std::move(beforeStep)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~ClockTicker() { Stop(); }
  ClockTicker(const ClockTicker&) = delete;
  ClockTicker& operator=(const ClockTicker&) = delete;

  // No more steps: once this returns, the clock stands still.
  void Stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
  }
  // Whether a step was ever taken without the threads asleep.
  bool HeldUp() const { return heldUp_; }

 private:
  bool Asleep() const {
    if (!vqplatform::Clock::WaitForTimedWaiters(sleepers_, std::chrono::milliseconds(50))) return false;
    if (ready_ && !ready_()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return false;
    }
    // One of them may have woken while `ready_` looked.
    return vqplatform::Clock::TimedWaiterCount() >= sleepers_;
  }
  void Run() {
    auto lastStep = std::chrono::steady_clock::now();
    while (running_) {
      if (heldUp_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      } else if (!Asleep()) {
        if (std::chrono::steady_clock::now() - lastStep < kPatience) continue;
        heldUp_ = true;
      }
      if (beforeStep_) beforeStep_();
      vqplatform::Clock::Advance(step_);
      lastStep = std::chrono::steady_clock::now();
    }
  }

  const size_t sleepers_;
  const std::chrono::milliseconds step_;
  const std::function<bool()> ready_;
  const std::function<void()> beforeStep_;
  std::atomic<bool> running_{true}, heldUp_{false};
  std::thread thread_;
};

}  // namespace vqtest

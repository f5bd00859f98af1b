#pragma once
// Waiting for a named condition, with the common patience: a wait ends as
// soon as its condition holds.
#include <chrono>
#include <functional>

#include "tests/support/TestEnv.h"

namespace vqtest {

// Polls the condition every 10 ms until it holds or the limit passes.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPatience);
// True when the condition holds all along the span (that nothing happens
// that should not).
bool Stays(const std::function<bool()>& condition, std::chrono::milliseconds span);

}  // namespace vqtest

#pragma once
// Whether the program runs without a display: no DISPLAY, or VQ_HEADLESS=1.
// Read at every call, so tests can switch it through the environment.
namespace vqplatform {

bool IsHeadless();

}  // namespace vqplatform

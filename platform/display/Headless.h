#pragma once
// Whether the program runs without a display: no DISPLAY, or VQ_HEADLESS=1.
// Read at every call, so tests can switch it through the environment.
namespace vqplatform {

bool IsHeadless();
// Whether it was asked to (VQ_HEADLESS=1: tests and demonstrations drive
// the windows and save them as pictures), rather than having no display.
bool IsHeadlessByRequest();

}  // namespace vqplatform

#include "platform/display/Headless.h"

#include <cstdlib>
#include <cstring>

namespace vqplatform {

bool IsHeadlessByRequest() {
  const char* headless = std::getenv("VQ_HEADLESS");
  return headless && std::strcmp(headless, "1") == 0;
}

bool IsHeadless() {
  if (IsHeadlessByRequest()) return true;
  const char* display = std::getenv("DISPLAY");
  return !display || !*display;
}

}  // namespace vqplatform

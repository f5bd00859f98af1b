#include "platform/display/Headless.h"

#include <cstdlib>
#include <cstring>

namespace vqplatform {

bool IsHeadless() {
  const char* headless = std::getenv("VQ_HEADLESS");
  if (headless && std::strcmp(headless, "1") == 0) return true;
  const char* display = std::getenv("DISPLAY");
  return !display || !*display;
}

}  // namespace vqplatform

#include "platform/win/WindowRegistry.h"

namespace vqplatform {

void RemoveWindowsOfEndedThread(ThreadContext&) {}

}  // namespace vqplatform

#pragma once
// Internal: the process's windows, as seen by the dispatcher.
#include "platform/win/Dispatcher.h"

namespace vqplatform {

// Removes, without messages, every window owned by a thread that has ended.
void RemoveWindowsOfEndedThread(ThreadContext& thread);

}  // namespace vqplatform

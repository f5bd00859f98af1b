#pragma once
// Joining a preview's threads from the thread that owns the preview's
// windows: the thread being joined may be blocked sending to the joiner.
#include "platform/win/WinTypes.h"

namespace vqcapture {
// Waits until `thread` has ended, answering messages sent to the calling
// thread meanwhile; posted messages stay queued.
void JoinServingSends(HANDLE thread);
}  // namespace vqcapture

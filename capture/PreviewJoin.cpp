#include "capture/PreviewJoin.h"

#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"

namespace vqcapture {

void JoinServingSends(HANDLE thread) {
  if (!thread) return;
  // Peeking answers the sent messages; nothing posted is taken.
  MSG msg;
  while (WaitForSingleObject(thread, 2) == WAIT_TIMEOUT) PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

}  // namespace vqcapture

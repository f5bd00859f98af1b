#pragma once
// Notifications to hosts (MSG_XFERREADY, MSG_CLOSEDSREQ, MSG_CLOSEDSOK) that
// arise on the thread serving the sources wait there in a queue: that
// thread sends them from its own loop, with nothing of a source or its
// windows on its stack, once the host is back in its own code (HostCalls.h),
// so a host's callback may call the source again at once, or as the answer
// to the host's next DAT_EVENT; those the host's calls have overtaken (a
// reset, a disable) are dropped. Elsewhere they are sent at once.
#include <deque>

#include "platform/twain/Twain.h"

struct HeldNotification {
  TW_UINT32 hostId;  // the host's identity Id: the source is looked up again
  TW_UINT16 message;
};

// The calling thread's queue; null (send at once) unless one was set.
std::deque<HeldNotification>* HeldNotifications();
void SetHeldNotifications(std::deque<HeldNotification>* queue);

#include "twain/DSNotifications.h"

namespace {

thread_local std::deque<HeldNotification>* t_queue = nullptr;

}  // namespace

std::deque<HeldNotification>* HeldNotifications() { return t_queue; }

void SetHeldNotifications(std::deque<HeldNotification>* queue) { t_queue = queue; }

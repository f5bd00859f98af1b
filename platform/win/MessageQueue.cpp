#include "platform/win/MessageQueue.h"

#include <algorithm>
#include <array>

#include "platform/win/Clock.h"
#include "platform/win/Dispatcher.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/Threads.h"
#include "platform/win/WindowRegistry.h"

namespace vqplatform {
namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(-1);

// Which messages a GetMessage / PeekMessage call takes (dispatcher lock held).
struct MessageFilter {
  HWND hwnd = nullptr;
  UINT min = 0;
  UINT max = 0;
  UINT kinds = QS_ALLINPUT;  // QS_ kinds looked at

  bool Takes(UINT kind) const { return (kinds & kind) != 0; }
  bool MatchesNumber(UINT message) const { return (min == 0 && max == 0) || (message >= min && message <= max); }
  bool MatchesWindow(HWND target) const {
    if (!hwnd) return true;
    if (hwnd == kThreadMessagesOnly) return target == nullptr;
    if (target == hwnd) return true;
    WindowObject* ancestor = FindWindowObject(hwnd);
    return ancestor && IsDescendant(ancestor, FindWindowObject(target));
  }
  bool Matches(HWND target, UINT message) const { return MatchesNumber(message) && MatchesWindow(target); }
};

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = static_cast<DWORD>(Clock::NowMs());
  return msg;
}

// A thread that stops pumping must not make its posters grow its queue
// without bound (a frame notification per camera frame, for instance).
const size_t kPostedMessageLimit = 10000;

BOOL Post(ThreadContext& thread, const MSG& msg) {
  if (thread.posted.size() >= kPostedMessageLimit) {
    SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return FALSE;
  }
  thread.posted.push_back(msg);
  Dispatcher::Wake(thread);
  return TRUE;
}

// The QS_ kind of a posted message.
UINT PostedKind(UINT message) {
  if (message >= WM_KEYFIRST && message <= WM_KEYLAST) return QS_KEY;
  if (message == WM_MOUSEMOVE) return QS_MOUSEMOVE;
  if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) return QS_MOUSEBUTTON;
  return QS_POSTMESSAGE;
}

// The layer's own messages (dispatcher lock held); a fixed table, so that
// nothing of it is destroyed at exit while a thread may still dispatch.
struct LayerMessage {
  UINT message = 0;
  LayerMessageHandler handler = nullptr;
  bool input = false;
};
std::array<LayerMessage, 4> layerMessages;

const LayerMessage* FindLayerMessage(UINT message) {
  for (const LayerMessage& m : layerMessages)
    if (m.handler && m.message == message) return &m;
  return nullptr;
}

bool PostedHasInput(const ThreadContext& self) {
  return std::any_of(self.posted.begin(), self.posted.end(), [](const MSG& m) {
    if (PostedKind(m.message) != QS_POSTMESSAGE) return true;
    const LayerMessage* own = FindLayerMessage(m.message);
    return own && own->input;
  });
}

// The sent message to handle next. Input waits while messages of earlier
// input are still queued: where it goes (the capture, the focus) is decided
// only once those have been retrieved and handled, so a press that takes the
// capture or the focus counts for the input after it. Other sends never wait
// behind input.
std::deque<std::shared_ptr<SentMessage>>::iterator NextSentMessage(ThreadContext& self) {
  bool inputSeen = false;
  for (auto it = self.sentInbox.begin(); it != self.sentInbox.end(); ++it) {
    if (!(*it)->input) return it;
    if (inputSeen) continue;
    inputSeen = true;
    if (!PostedHasInput(self)) return it;
  }
  return self.sentInbox.end();
}

// Handles one message sent to this thread, if any; the lock is released
// while the window procedure runs.
bool HandleOneSentMessage(std::unique_lock<std::mutex>& lock, ThreadContext& self) {
  auto next = NextSentMessage(self);
  if (next == self.sentInbox.end()) return false;
  std::shared_ptr<SentMessage> sent = *next;
  self.sentInbox.erase(next);
  lock.unlock();
  LRESULT result = 0;
  if (sent->task) {
    HandlerScope handler(sent->hwnd);
    result = sent->task();
  } else {
    result = CallWindowProcedure(sent->hwnd, sent->message, sent->wParam, sent->lParam);
  }
  lock.lock();
  sent->result = result;
  sent->done = true;
  Dispatcher::Wake(*sent->sender);
  return true;
}

// Delivers a message (or a task run as the window's handler) to `hwnd`: on
// the window's own thread at once, else queued on that thread and waited
// for, answering messages sent to this thread meanwhile. 0 at once when the window or its thread is gone; a
// window destroyed before handling its message answers it with 0 (see
// RemoveWindowObject). With a deadline (Clock::NowMs), a message its thread
// has not taken by then is withdrawn, never handled: false. One already
// being handled is waited for to its end.
bool SendAndWait(const MSG& message, std::function<LRESULT()> task, LRESULT* result,
                 std::optional<uint64_t> deadline = std::nullopt) {
  *result = 0;
  std::unique_lock lock(Dispatcher::Mutex());
  WindowObject* window = FindWindowObject(message.hwnd);
  if (!window || window->thread->ended) return true;
  std::shared_ptr<ThreadContext> target = window->thread;
  if (target.get() == &Dispatcher::Current()) {
    lock.unlock();
    *result = task ? task() : CallWindowProcedure(message.hwnd, message.message, message.wParam, message.lParam);
    return true;
  }
  auto self = Dispatcher::CurrentShared();
  auto sent = std::make_shared<SentMessage>();
  sent->hwnd = message.hwnd;
  sent->message = message.message;
  sent->wParam = message.wParam;
  sent->lParam = message.lParam;
  sent->task = std::move(task);
  sent->sender = self;
  target->sentInbox.push_back(sent);
  Dispatcher::Wake(*target);
  bool taken = !deadline;
  while (!sent->done) {
    if (HandleOneSentMessage(lock, *self)) continue;
    if (!taken && Clock::NowMs() >= *deadline) {
      auto queued = std::find(target->sentInbox.begin(), target->sentInbox.end(), sent);
      if (queued != target->sentInbox.end()) {
        target->sentInbox.erase(queued);
        return false;
      }
      taken = true;  // being handled: its answer is waited for
    }
    Dispatcher::WaitOnce(lock, *self, taken ? std::nullopt : deadline);
  }
  *result = sent->result;
  return true;
}


bool TakePostedMessage(ThreadContext& self, const MessageFilter& filter, bool remove, MSG* out) {
  auto it = std::find_if(self.posted.begin(), self.posted.end(), [&](const MSG& m) {
    return filter.Takes(PostedKind(m.message)) && filter.Matches(m.hwnd, m.message);
  });
  if (it == self.posted.end()) return false;
  *out = *it;
  if (remove) self.posted.erase(it);
  return true;
}

bool TakePaintMessage(ThreadContext& self, const MessageFilter& filter, MSG* out) {
  if (!filter.Takes(QS_PAINT) || !filter.MatchesNumber(WM_PAINT)) return false;
  for (HWND hwnd : self.invalidWindows) {
    WindowObject* window = FindWindowObject(hwnd);
    if (!window || !IsVisibleOnScreen(window)) continue;
    // An invalid parent paints first: it may draw over its children.
    WindowObject* first = window;
    for (WindowObject* a = window->parent; a && a->thread == window->thread; a = a->parent)
      if (a->invalid) first = a;
    if (!filter.MatchesWindow(first->handle)) first = window;
    if (filter.MatchesWindow(first->handle)) {
      *out = MakeMessage(first->handle, WM_PAINT, 0, 0);
      return true;
    }
  }
  return false;
}

bool TakeDueTimer(ThreadContext& self, const MessageFilter& filter, bool remove, MSG* out) {
  if (!filter.Takes(QS_TIMER) || !filter.MatchesNumber(WM_TIMER)) return false;
  uint64_t now = Clock::NowMs();
  for (QueueTimer& timer : self.timers) {
    if (timer.due > now || !filter.MatchesWindow(timer.hwnd)) continue;
    *out = MakeMessage(timer.hwnd, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc));
    if (remove) timer.due = now + timer.interval;
    return true;
  }
  return false;
}

std::optional<uint64_t> NextTimerDeadline(const ThreadContext& self, const MessageFilter& filter) {
  std::optional<uint64_t> next;
  if (!filter.Takes(QS_TIMER) || !filter.MatchesNumber(WM_TIMER)) return next;
  for (const QueueTimer& timer : self.timers)
    if (filter.MatchesWindow(timer.hwnd) && (!next || timer.due < *next)) next = timer.due;
  return next;
}

// One pass over the queue in retrieval order (sent messages already handled).
bool TakeMessage(ThreadContext& self, const MessageFilter& filter, bool remove, MSG* out) {
  if (TakePostedMessage(self, filter, remove, out)) return true;
  if (self.quitPosted && filter.Takes(QS_POSTMESSAGE)) {
    *out = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(self.quitCode), 0);
    if (remove) self.quitPosted = false;
    return true;
  }
  return TakePaintMessage(self, filter, out) || TakeDueTimer(self, filter, remove, out);
}

bool IsValidFilterWindow(HWND hwnd) {
  return !hwnd || hwnd == kThreadMessagesOnly || FindWindowObject(hwnd) != nullptr;
}

}  // namespace

bool QueueHasInput(ThreadContext& self, UINT mask) {
  if ((mask & QS_SENDMESSAGE) && NextSentMessage(self) != self.sentInbox.end()) return true;
  MessageFilter filter;
  filter.kinds = mask;
  MSG ignored;
  return TakeMessage(self, filter, false, &ignored);
}

std::optional<uint64_t> NextQueueInputDue(const ThreadContext& self, UINT mask) {
  MessageFilter filter;
  filter.kinds = mask;
  return NextTimerDeadline(self, filter);
}

void InstallLayerMessage(UINT message, LayerMessageHandler handler, bool input) {
  std::lock_guard lock(Dispatcher::Mutex());
  for (LayerMessage& m : layerMessages)
    if (!m.handler || m.message == message) {
      m = LayerMessage{message, handler, input};
      return;
    }
}

bool QuitPosted() {
  ThreadContext& self = Dispatcher::Current();
  std::lock_guard lock(Dispatcher::Mutex());
  return self.quitPosted;
}

bool PostQuitToThread(DWORD threadId, int exitCode) {
  std::lock_guard lock(Dispatcher::Mutex());
  std::shared_ptr<ThreadContext> thread = Dispatcher::FindThread(threadId);
  if (!thread) return false;
  thread->quitPosted = true;
  thread->quitCode = exitCode;
  Dispatcher::Wake(*thread);
  return true;
}

bool SendMessageBefore(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, uint64_t deadline, LRESULT* result) {
  return SendAndWait(MSG{hwnd, message, wParam, lParam, 0, {}}, nullptr, result, deadline);
}

LRESULT RunOnWindowThread(HWND hwnd, std::function<LRESULT()> task) {
  LRESULT result = 0;
  SendAndWait(MSG{hwnd, 0, 0, 0, 0, {}}, std::move(task), &result);
  return result;
}

}  // namespace vqplatform

using namespace vqplatform;

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), message, wParam, lParam);
  if (IsProgramWindow(hwnd)) return PostToProgramWindow(hwnd, message, wParam, lParam);
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* window = FindWindowObject(hwnd);
  if (!window || window->thread->ended) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return Post(*window->thread, MakeMessage(hwnd, message, wParam, lParam));
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard lock(Dispatcher::Mutex());
  auto thread = Dispatcher::FindThread(threadId);
  if (!thread) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  return Post(*thread, MakeMessage(nullptr, message, wParam, lParam));
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  bool known = false;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    known = FindWindowObject(hwnd) != nullptr;
  }
  if (!known) {
    if (IsProgramWindow(hwnd)) return SendToProgramWindow(hwnd, message, wParam, lParam);
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LRESULT result = 0;
  SendAndWait(MSG{hwnd, message, wParam, lParam, 0, {}}, nullptr, &result);
  return result;
}

void PostQuitMessage(int exitCode) { PostQuitToThread(GetCurrentThreadId(), exitCode); }

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) return -1;
  ThreadContext& self = Dispatcher::Current();
  MessageFilter filter{hwnd, filterMin, filterMax};
  std::unique_lock lock(Dispatcher::Mutex());
  for (;;) {
    if (HandleOneSentMessage(lock, self)) continue;
    if (!IsValidFilterWindow(hwnd)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return -1;
    }
    if (TakeMessage(self, filter, true, msg)) return msg->message == WM_QUIT ? FALSE : TRUE;
    Dispatcher::WaitOnce(lock, self, NextTimerDeadline(self, filter));
  }
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) return FALSE;
  ThreadContext& self = Dispatcher::Current();
  MessageFilter filter{hwnd, filterMin, filterMax};
  if (removeFlags >> 16) filter.kinds = removeFlags >> 16;
  std::unique_lock lock(Dispatcher::Mutex());
  if (filter.Takes(QS_SENDMESSAGE)) {
    while (HandleOneSentMessage(lock, self)) {
    }
  }
  if (!IsValidFilterWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TakeMessage(self, filter, (removeFlags & PM_REMOVE) != 0, msg) ? TRUE : FALSE;
}

DWORD GetQueueStatus(UINT flags) {
  ThreadContext& self = Dispatcher::Current();
  std::lock_guard lock(Dispatcher::Mutex());
  return QueueHasInput(self, flags) ? flags << 16 : 0;
}

BOOL WaitMessage() {
  ThreadContext& self = Dispatcher::Current();
  MessageFilter any;
  MSG ignored;
  std::unique_lock lock(Dispatcher::Mutex());
  for (;;) {
    if (HandleOneSentMessage(lock, self)) continue;
    if (TakeMessage(self, any, false, &ignored)) return TRUE;
    Dispatcher::WaitOnce(lock, self, NextTimerDeadline(self, any));
  }
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask) {
  if (waitAll) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return WaitForObjectsOrInput(count, handles, FALSE, milliseconds, wakeMask & QS_ALLINPUT);
}

DWORD WaitServingSentMessages(HANDLE handle, DWORD milliseconds) {
  auto deadline = DeadlineAfter(milliseconds);
  for (;;) {
    DWORD left = INFINITE;
    if (deadline) {
      uint64_t now = Clock::NowMs();
      left = now >= *deadline ? 0 : static_cast<DWORD>(*deadline - now);
    }
    DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
    if (result != WAIT_OBJECT_0 + 1) return result;
    MSG ignored;
    PeekMessageW(&ignored, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    // Only a timer procedure this thread registered is called.
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    bool registered = false;
    {
      ThreadContext& self = Dispatcher::Current();
      std::lock_guard lock(Dispatcher::Mutex());
      registered = std::any_of(self.timers.begin(), self.timers.end(), [&](const QueueTimer& t) {
        return t.hwnd == msg->hwnd && t.id == msg->wParam && t.proc == proc;
      });
    }
    if (registered) {
      HandlerScope handler(msg->hwnd);
      proc(msg->hwnd, WM_TIMER, msg->wParam, static_cast<DWORD>(Clock::NowMs()));
    }
    return 0;
  }
  if (!msg->hwnd) return 0;
  LayerMessageHandler own = nullptr;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    WindowObject* window = FindWindowObject(msg->hwnd);
    if (!window || window->thread.get() != &Dispatcher::Current()) return 0;
    if (const LayerMessage* found = FindLayerMessage(msg->message)) own = found->handler;
  }
  if (own) {
    HandlerScope handler(msg->hwnd);
    own(*msg);
    return 0;
  }
  return CallWindowProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

#include "platform/win/ModalLoops.h"

#include <optional>
#include <utility>
#include <vector>

#include "platform/win/Clock.h"
#include "platform/win/DialogKeys.h"
#include "platform/win/Dispatcher.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"

namespace vqplatform {
namespace {

// A handler on the stack, and how many modal loops ran when it started.
struct Handler {
  HWND window;
  int loopsAtEntry;
};

thread_local int t_depth = 0;
thread_local bool t_ending = false;
thread_local std::vector<Handler> t_handlers;
thread_local std::vector<std::function<void()>> t_deferred;
thread_local bool t_resumeAfterDeferred = false;
thread_local bool t_runningDeferred = false;

class LoopCount {
 public:
  LoopCount() { ++t_depth; }
  ~LoopCount() { --t_depth; }
  LoopCount(const LoopCount&) = delete;
  LoopCount& operator=(const LoopCount&) = delete;
};

void RunDeferred() {
  if (t_runningDeferred) return;
  t_runningDeferred = true;
  while (!t_deferred.empty()) {
    std::vector<std::function<void()>> due = std::exchange(t_deferred, {});
    // The work runs as a handler would: the loops it opens are nested ones.
    t_handlers.push_back(Handler{nullptr, t_depth});
    for (std::function<void()>& work : due) {
      // The loops ended for it have unwound: its own dialogs and boxes run.
      if (std::exchange(t_resumeAfterDeferred, false)) t_ending = false;
      work();
    }
    t_handlers.pop_back();
  }
  t_runningDeferred = false;
}

// Milliseconds left until `deadline`, INFINITE without one.
DWORD Remaining(const std::optional<uint64_t>& deadline) {
  if (!deadline) return INFINITE;
  const uint64_t now = Clock::NowMs();
  return now >= *deadline ? 0 : static_cast<DWORD>(*deadline - now);
}

}  // namespace

LoopEnd RunModalLoop(const ModalLoop& loop) {
  LoopCount counted;
  const std::optional<uint64_t> deadline = DeadlineAfter(loop.timeoutMs);
  for (;;) {
    if (loop.done && loop.done()) return LoopEnd::kDone;
    if (loop.object && WaitForSingleObject(loop.object, 0) == WAIT_OBJECT_0) return LoopEnd::kDone;
    if (t_ending) return LoopEnd::kEnding;
    const DWORD left = Remaining(deadline);
    if (left == 0) return LoopEnd::kTimedOut;
    MSG msg{};
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (loop.idle && loop.idle()) continue;
      const DWORD count = loop.object ? 1 : 0;
      MsgWaitForMultipleObjects(count, loop.object ? &loop.object : nullptr, FALSE, left, QS_ALLINPUT);
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loops outside
      return LoopEnd::kQuit;
    }
    if (loop.preTranslate && loop.preTranslate(&msg)) continue;
    if (PreTranslateThreadMessage(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool DispatchFor(DWORD milliseconds) {
  ModalLoop loop;
  loop.timeoutMs = milliseconds;
  return RunModalLoop(loop) == LoopEnd::kTimedOut;
}

int RunThreadLoop(const std::function<void()>& afterEach) {
  MSG msg{};
  BOOL got = 0;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    if (!PreTranslateThreadMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (afterEach) afterEach();
  }
  return got == 0 ? static_cast<int>(msg.wParam) : -1;
}

int ModalLoopDepth() { return t_depth; }

bool InNestedLoop() { return !t_handlers.empty() && t_handlers.front().loopsAtEntry < t_depth; }

bool WaitsInModalLoop(HWND window) {
  if (!window) return false;
  for (const Handler& handler : t_handlers) {
    if (handler.loopsAtEntry >= t_depth) break;  // this one and those above run inside every loop
    if (handler.window == window || IsChild(window, handler.window)) return true;
  }
  return false;
}

void RunAtTopLevel(std::function<void()> work, bool endLoops) {
  if (!InNestedLoop()) {
    work();
    return;
  }
  t_deferred.push_back(std::move(work));
  if (endLoops) {
    t_resumeAfterDeferred = true;
    EndModalLoops();
  }
}

void EndModalLoops() {
  t_ending = true;
  // A loop waiting for its next message looks again.
  if (t_depth > 0) PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void ResumeModalLoops() { t_ending = false; }

bool ModalLoopsEnding() { return t_ending; }

HandlerScope::HandlerScope(HWND window) { t_handlers.push_back(Handler{window, t_depth}); }

HandlerScope::~HandlerScope() {
  t_handlers.pop_back();
  if (t_handlers.empty() && !t_deferred.empty()) RunDeferred();
}

}  // namespace vqplatform

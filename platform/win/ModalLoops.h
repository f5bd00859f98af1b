#pragma once
// The one nested-loop rule of the layer. Every loop a thread runs but its
// own outermost one (RunThreadLoop) is a modal loop run by RunModalLoop (a
// dialog's, a message box's, a popup menu's, a wait that dispatches): the
// layer counts it, ends it when the thread's loops are told to end, and
// ends it at the thread's quit, which it leaves for the loops outside.
//
// A modal loop that a window's handler started (a nested one) dispatches
// everything, so the handlers further down the stack may find gone what
// they were using. Work that must not run then (deleting a controller or a
// dialog, a host's disable or close) goes to the thread's one deferred
// queue instead and runs once those loops have unwound and the last
// handler has returned.
#include <functional>
#include <memory>

#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

namespace vqplatform {

// Why a modal loop ended.
enum class LoopEnd {
  kDone,      // its own end: `done`, its object signalled, `idle` gave up
  kTimedOut,  // its time passed
  kEnding,    // the thread's loops were told to end (as a cancel)
  kQuit,      // the thread's quit, left set for the loops outside
};

struct ModalLoop {
  // The loop's own end, asked before each message.
  std::function<bool()> done;
  // Offered each message before it is dispatched; true when it was handled.
  // Then, in every loop, the thread's pre-translation (the framework's
  // windows and the dialog keys, PreTranslateThreadMessage).
  std::function<bool(MSG*)> preTranslate;
  // Called whenever the queue is empty: true when it did something (the
  // loop looks again at once), false to wait for input (tests drive
  // dialogs from here).
  std::function<bool()> idle;
  // An object whose signal ends the loop.
  HANDLE object = nullptr;
  // Milliseconds of the layer's clock after which the loop ends.
  DWORD timeoutMs = INFINITE;
};

// Dispatches the calling thread's messages as one modal loop until it ends.
LoopEnd RunModalLoop(const ModalLoop& loop);
// Dispatches for a time: true when it all passed, false when the loop was
// ended first (told to end, or the quit).
bool DispatchFor(DWORD milliseconds);

// The thread's outermost loop: dispatches until WM_QUIT and returns its
// exit code. Each message goes through the thread's pre-translation;
// `afterEach` runs after each message.
int RunThreadLoop(const std::function<void()>& afterEach = nullptr);

// How many modal loops the calling thread is inside.
int ModalLoopDepth();
// True while a modal loop that a handler started runs on the calling
// thread: what the handlers further down use may not be destroyed now.
bool InNestedLoop();
// True while `window` (or a window inside it) waits in a modal loop that
// one of its own handlers started.
bool WaitsInModalLoop(HWND window);

// Runs `work` now unless the calling thread is in a nested loop; then once
// those loops have unwound and the last handler has returned. With
// `endLoops` the loops are ended as a cancel would, and loops started
// before the work runs end at once too; those the work itself opens run.
void RunAtTopLevel(std::function<void()> work, bool endLoops = false);
// Deletes `object` by the same rule.
template <class T>
void DeleteAtTopLevel(std::unique_ptr<T> object) {
  if (object) RunAtTopLevel([held = std::shared_ptr<T>(std::move(object))]() mutable { held.reset(); });
}

// Ends every modal loop of the calling thread, and every one it starts
// before ResumeModalLoops, as a cancel would.
void EndModalLoops();
void ResumeModalLoops();
bool ModalLoopsEnding();

// Marks a window's handler (a window procedure, a timer procedure, work
// run for another thread) on the calling thread's stack while it lives;
// the deferred queue runs when the last one ends.
class HandlerScope {
 public:
  explicit HandlerScope(HWND window);
  ~HandlerScope();
  HandlerScope(const HandlerScope&) = delete;
  HandlerScope& operator=(const HandlerScope&) = delete;
};

}  // namespace vqplatform

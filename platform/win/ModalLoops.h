#pragma once
// The modal loops a thread runs (dialogs, message boxes, popup menus): how
// deep the thread is inside them, and a way to end them all at once, for
// code that must not destroy what a loop's caller still uses and waits
// instead until the loops have unwound.
namespace vqplatform {

// Counts one modal loop of the calling thread while it lives.
class ModalLoopScope {
 public:
  ModalLoopScope();
  ~ModalLoopScope();
  ModalLoopScope(const ModalLoopScope&) = delete;
  ModalLoopScope& operator=(const ModalLoopScope&) = delete;
  // True once the thread's loops were told to end: the loop ends as a
  // cancel would.
  bool Ending() const;
};

// How many modal loops the calling thread is inside.
int ModalLoopDepth();
// Ends every modal loop of the calling thread, and every one it starts
// before ResumeModalLoops, as a cancel would.
void EndModalLoops();
void ResumeModalLoops();

}  // namespace vqplatform

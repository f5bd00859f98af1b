#include "platform/win/ModalLoops.h"

#include "platform/win/MessageQueue.h"
#include "platform/win/Threads.h"

namespace vqplatform {
namespace {

thread_local int t_depth = 0;
thread_local bool t_ending = false;

}  // namespace

ModalLoopScope::ModalLoopScope() { ++t_depth; }

ModalLoopScope::~ModalLoopScope() { --t_depth; }

bool ModalLoopScope::Ending() const { return t_ending; }

int ModalLoopDepth() { return t_depth; }

void EndModalLoops() {
  t_ending = true;
  // A loop waiting for its next message looks again.
  if (t_depth > 0) PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void ResumeModalLoops() { t_ending = false; }

}  // namespace vqplatform

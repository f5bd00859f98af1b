#include "platform/win/Dispatcher.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "platform/win/Clock.h"
#include "platform/win/WindowRegistry.h"
#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

struct DispatcherState {
  std::mutex mutex;
  std::mutex threadsMutex;  // guards `threads` only; taken after `mutex`, never before
  std::unordered_map<DWORD, std::weak_ptr<ThreadContext>> threads;
  std::vector<ThreadContext*> timedWaiters;
  std::condition_variable timedWaitersChanged;
  std::atomic<DWORD> nextThreadId{0x100};
};

DispatcherState& State() {
  static auto* state = MakeSingleton<DispatcherState>();
  return *state;
}

// Owns the thread's context; ends it when the thread exits.
struct ContextHolder {
  std::shared_ptr<ThreadContext> context;
  ~ContextHolder() {
    if (context) Dispatcher::DetachCurrentThread();
  }
};
thread_local ContextHolder t_holder;

void RemoveTimedWaiter(DispatcherState& state, ThreadContext* waiter) {
  auto it = std::find(state.timedWaiters.begin(), state.timedWaiters.end(), waiter);
  if (it != state.timedWaiters.end()) {
    state.timedWaiters.erase(it);
    state.timedWaitersChanged.notify_all();
  }
}

}  // namespace

std::mutex& Dispatcher::Mutex() { return State().mutex; }

DWORD Dispatcher::ReserveThreadId() { return State().nextThreadId.fetch_add(4); }

void Dispatcher::AttachCurrentThread(DWORD threadId) {
  if (t_holder.context) return;
  auto context = std::make_shared<ThreadContext>(threadId);
  {
    std::lock_guard lock(State().threadsMutex);
    State().threads[threadId] = context;
  }
  t_holder.context = std::move(context);
}

ThreadContext& Dispatcher::Current() { return *CurrentShared(); }

std::shared_ptr<ThreadContext> Dispatcher::CurrentShared() {
  if (!t_holder.context) AttachCurrentThread(ReserveThreadId());
  return t_holder.context;
}

std::shared_ptr<ThreadContext> Dispatcher::FindThread(DWORD threadId) {
  std::lock_guard lock(State().threadsMutex);
  auto& threads = State().threads;
  auto it = threads.find(threadId);
  if (it == threads.end()) return nullptr;
  auto context = it->second.lock();
  return context && !context->ended ? context : nullptr;
}

void Dispatcher::DetachCurrentThread() {
  std::shared_ptr<ThreadContext> context = t_holder.context;
  if (!context) return;
  std::vector<std::shared_ptr<SentMessage>> unanswered;
  {
    std::lock_guard lock(State().mutex);
    if (context->ended) return;
    context->ended = true;
    {
      std::lock_guard threadsLock(State().threadsMutex);
      State().threads.erase(context->id);
    }
    unanswered.assign(context->sentInbox.begin(), context->sentInbox.end());
    context->sentInbox.clear();
    context->posted.clear();
    context->timers.clear();
    context->invalidWindows.clear();
    for (auto& sent : unanswered) {
      sent->result = 0;
      sent->done = true;
      Wake(*sent->sender);
    }
  }
  RemoveWindowsOfEndedThread(*context);
}

void Dispatcher::WaitOnce(std::unique_lock<std::mutex>& lock, ThreadContext& self,
                          std::optional<uint64_t> deadline) {
  if (!deadline) {
    self.wake.wait(lock);
    return;
  }
  uint64_t now = Clock::NowMs();
  if (now >= *deadline) return;
  DispatcherState& state = State();
  self.timedDeadline = *deadline;
  state.timedWaiters.push_back(&self);
  state.timedWaitersChanged.notify_all();
  if (Clock::IsManual())
    self.wake.wait(lock);  // Clock::Advance wakes us when the deadline passes
  else
    self.wake.wait_for(lock, std::chrono::milliseconds(*deadline - now));
  RemoveTimedWaiter(state, &self);
}

void Dispatcher::Wake(ThreadContext& thread) {
  RemoveTimedWaiter(State(), &thread);
  thread.wake.notify_one();
}

void Dispatcher::WakeExpiredWaiters(uint64_t now) {
  DispatcherState& state = State();
  auto expired = std::stable_partition(state.timedWaiters.begin(), state.timedWaiters.end(),
                                       [now](ThreadContext* w) { return w->timedDeadline > now; });
  if (expired == state.timedWaiters.end()) return;
  for (auto it = expired; it != state.timedWaiters.end(); ++it) (*it)->wake.notify_one();
  state.timedWaiters.erase(expired, state.timedWaiters.end());
  state.timedWaitersChanged.notify_all();
}

void Dispatcher::WakeAllTimedWaiters() {
  DispatcherState& state = State();
  for (ThreadContext* waiter : state.timedWaiters) waiter->wake.notify_one();
  state.timedWaiters.clear();
  state.timedWaitersChanged.notify_all();
}

size_t Dispatcher::TimedWaiterCount() { return State().timedWaiters.size(); }

bool Dispatcher::WaitForTimedWaiters(std::unique_lock<std::mutex>& lock, size_t count,
                                     std::chrono::milliseconds realTimeout) {
  DispatcherState& state = State();
  return state.timedWaitersChanged.wait_for(lock, realTimeout,
                                            [&] { return state.timedWaiters.size() >= count; });
}

std::optional<uint64_t> DeadlineAfter(DWORD milliseconds) {
  if (milliseconds == INFINITE) return std::nullopt;
  return Clock::NowMs() + milliseconds;
}

}  // namespace vqplatform

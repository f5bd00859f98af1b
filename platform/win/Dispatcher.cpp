#include "platform/win/Dispatcher.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/win/Clock.h"
#include "platform/win/WindowRegistry.h"
#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

struct DispatcherState {
  std::mutex mutex;
  std::mutex threadsMutex;  // guards `threads` and `starting`; taken after `mutex`, never before
  std::unordered_map<DWORD, std::weak_ptr<ThreadContext>> threads;
  // Threads CreateThread started that have not waited yet.
  std::unordered_set<DWORD> starting;
  std::vector<ThreadContext*> timedWaiters;
  std::condition_variable timedWaitersChanged;
  size_t atWork = 0;  // threads at work (ThreadContext::atWork)
  std::condition_variable atRest;
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

// A thread CreateThread started stops counting as starting (lock held).
void EndStart(DispatcherState& state, ThreadContext& thread) {
  if (!std::exchange(thread.startPending, false)) return;
  {
    std::lock_guard lock(state.threadsMutex);
    state.starting.erase(thread.id);
  }
  state.atRest.notify_all();
}

void SetAtWork(DispatcherState& state, ThreadContext& thread, bool atWork) {
  if (thread.atWork == atWork) return;
  thread.atWork = atWork;
  if (atWork) {
    ++state.atWork;
  } else {
    --state.atWork;
    state.atRest.notify_all();
  }
}

}  // namespace

std::mutex& Dispatcher::Mutex() { return State().mutex; }

DWORD Dispatcher::ReserveThreadId() { return State().nextThreadId.fetch_add(4); }

DWORD Dispatcher::ReserveStartingThreadId() {
  const DWORD id = ReserveThreadId();
  std::lock_guard lock(State().threadsMutex);
  State().starting.insert(id);
  return id;
}

void Dispatcher::ForgetStartingThread(DWORD threadId) {
  std::lock_guard lock(State().mutex);
  {
    std::lock_guard threadsLock(State().threadsMutex);
    State().starting.erase(threadId);
  }
  State().atRest.notify_all();
}

// Called with or without the dispatcher lock held (a thread's first call
// into the layer may come from under it).
void Dispatcher::AttachCurrentThread(DWORD threadId) {
  if (t_holder.context) return;
  auto context = std::make_shared<ThreadContext>(threadId);
  {
    std::lock_guard lock(State().threadsMutex);
    State().threads[threadId] = context;
    context->startPending = State().starting.count(threadId) > 0;
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
    EndStart(State(), *context);
    SetAtWork(State(), *context, false);
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
  DispatcherState& state = State();
  uint64_t now = Clock::NowMs();
  if (deadline && now >= *deadline) return;
  EndStart(state, self);
  SetAtWork(state, self, false);
  self.waiting = true;
  if (!deadline) {
    self.wake.wait(lock);
    self.waiting = false;
    return;
  }
  self.timedDeadline = *deadline;
  state.timedWaiters.push_back(&self);
  state.timedWaitersChanged.notify_all();
  if (Clock::IsManual())
    self.wake.wait(lock);  // Clock::Advance wakes us when the deadline passes
  else
    self.wake.wait_for(lock, std::chrono::milliseconds(*deadline - now));
  self.waiting = false;
  RemoveTimedWaiter(state, &self);
}

void Dispatcher::Wake(ThreadContext& thread) {
  RemoveTimedWaiter(State(), &thread);
  if (thread.waiting) SetAtWork(State(), thread, true);
  thread.wake.notify_one();
}

void Dispatcher::WakeExpiredWaiters(uint64_t now) {
  DispatcherState& state = State();
  auto expired = std::stable_partition(state.timedWaiters.begin(), state.timedWaiters.end(),
                                       [now](ThreadContext* w) { return w->timedDeadline > now; });
  if (expired == state.timedWaiters.end()) return;
  for (auto it = expired; it != state.timedWaiters.end(); ++it) {
    SetAtWork(state, **it, true);
    (*it)->wake.notify_one();
  }
  state.timedWaiters.erase(expired, state.timedWaiters.end());
  state.timedWaitersChanged.notify_all();
}

void Dispatcher::WakeAllTimedWaiters() {
  DispatcherState& state = State();
  for (ThreadContext* waiter : state.timedWaiters) {
    SetAtWork(state, *waiter, true);
    waiter->wake.notify_one();
  }
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

size_t Dispatcher::ThreadsAtWork() {
  DispatcherState& state = State();
  const ThreadContext* self = t_holder.context.get();
  std::lock_guard lock(state.threadsMutex);
  return state.atWork - (self && self->atWork ? 1 : 0) + state.starting.size() - (self && self->startPending ? 1 : 0);
}

bool Dispatcher::WaitForThreadsAtRest(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds realTimeout) {
  return State().atRest.wait_for(lock, realTimeout, [] { return ThreadsAtWork() == 0; });
}

std::optional<uint64_t> DeadlineAfter(DWORD milliseconds) {
  if (milliseconds == INFINITE) return std::nullopt;
  return Clock::NowMs() + milliseconds;
}

}  // namespace vqplatform

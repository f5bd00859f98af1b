#include "twain/DSEntry.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <exception>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>

#include <opencv2/core/utility.hpp>

#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Singletons.h"
#include "twain/DSMBinding.h"
#include "twain/DSNotifications.h"
#include "twain/DSUiThread.h"
#include "twain/HostCalls.h"
#include "twain/TWAINDS_FreeImage.h"

#define VQ_EXPORT __attribute__((visibility("default")))

extern "C" void* __dso_handle;
extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dso);

namespace {

// Set in a forked child of the host: the child has none of the source's
// threads, and its copy of the module's locks may be held by threads it
// does not have. It neither calls the source nor waits for anything of it
// as it ends.
std::atomic<bool> g_forkedChild{false};

void ChildAfterFork() { g_forkedChild.store(true, std::memory_order_relaxed); }

// Registered at every load, dropped again with the library's unload.
__attribute__((constructor)) void WatchForks() { pthread_atfork(nullptr, nullptr, &ChildAfterFork); }

// Everything the module keeps between calls, kept with the layer's tables.
// The instance list is touched only on the user-interface thread while it
// runs, and under the entry lock by the calling thread while it does not.
struct Module {
  CStrenvikApp app;
  std::list<DSInstanceEntry> instances;
  CDSUiThread thread;
  std::mutex entryLock;
  // Notifications raised on the thread, sent from its own loop once their
  // host is back in its own code (DSNotifications.h, HostCalls.h).
  std::deque<HeldNotification> held;
  CHostCalls hostCalls;
  // Whether the next look for hosts that are back looks quickly, for a few
  // milliseconds: a host's call has just been served. Then ever more slowly
  // (the thread's own).
  std::atomic<bool> lookQuickly{false};
  unsigned lookDelayMs = 0;
  std::chrono::steady_clock::time_point quickUntil;
  size_t heldBefore = 0;
  // Whether this load of the module has registered its end.
  bool endRegistered = false;

  Module() {
    thread.SetTopLevelWork([this] { SendHeldNotifications(); });
  }
  TW_UINT16 Serve(TW_IDENTITY* from, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data);
  void SendHeldNotifications();
  // Sends those whose host is back in its own code, in order; a host's
  // later notifications wait behind its first.
  void SendThoseBackInHost();
  // DAT_EVENT / MSG_PROCESSEVENT from a host with a held notification: the
  // call itself is the sure sign that its thread is back, and its answer
  // carries the first of them (TWRC_DSEVENT). False for any other call.
  bool AnswerEvent(const TW_IDENTITY* from, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data,
                   TW_UINT16* result);
  // Drops what the host's calls have overtaken: every notification once the
  // source is disabled (or closed), a MSG_XFERREADY once the source is no
  // longer in state 6.
  void DropOvertaken(const TW_IDENTITY* from);
  // One triplet on the thread, with the two above.
  TW_UINT16 DispatchOnThread(TW_IDENTITY* from, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data);
  void StopThread();
  // Ends every open source, the thread and the workers: once, at exit or
  // unload.
  void End();
  // The hosts with an open source; on the thread.
  std::set<TW_UINT32> OpenHosts() const;
};

Module& TheModule() {
  static Module* module = vqplatform::MakeSingleton<Module>();
  return *module;
}

CTWAINDS_Base* FindInstanceOf(std::list<DSInstanceEntry>& list, TW_UINT32 hostId) {
  CTWAINDS_Base* found = nullptr;
  for (DSInstanceEntry& entry : list)
    if (entry.app.Id == hostId) found = entry.ds.get();
  return found;
}

CTWAINDS_Base* FindInstance(std::list<DSInstanceEntry>& list, const TW_IDENTITY* origin) {
  return origin ? FindInstanceOf(list, origin->Id) : nullptr;
}

// Disabling and closing hide and destroy the camera window and its cameras.
bool DestroysWindows(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG) {
  return DG == DG_CONTROL && ((DAT == DAT_USERINTERFACE && MSG == MSG_DISABLEDS) ||
                              (DAT == DAT_IDENTITY && MSG == MSG_CLOSEDS));
}

TW_UINT16 OpenSource(std::list<DSInstanceEntry>& list, TW_IDENTITY* origin, TW_UINT32 DG,
                     TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
  if (!origin || !data) return TWRC_FAILURE;
  auto ds = std::make_unique<CTWAINDS_FreeImage>(*origin);
  if (ds->Initialize() != TWRC_SUCCESS) return TWRC_FAILURE;
  if (ds->DispatchTriplet(origin, DG, DAT, MSG, data) != TWRC_SUCCESS) return TWRC_FAILURE;
  list.push_back(DSInstanceEntry{*origin, std::move(ds)});
  return TWRC_SUCCESS;
}

// One triplet, on the thread that owns the objects.
TW_UINT16 Dispatch(std::list<DSInstanceEntry>& list, TW_IDENTITY* origin, TW_UINT32 DG,
                   TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
  if (CTWAINDS_Base* ds = FindInstance(list, origin)) {
    TW_UINT16 result = ds->DispatchTriplet(origin, DG, DAT, MSG, data);
    if (result == TWRC_SUCCESS && DG == DG_CONTROL && DAT == DAT_IDENTITY && MSG == MSG_CLOSEDS)
      list.remove_if([&](const DSInstanceEntry& entry) { return entry.app.Id == origin->Id; });
    return result;
  }
  if (DG != DG_CONTROL) return TWRC_FAILURE;
  if (DAT == DAT_IDENTITY) {
    switch (MSG) {
      case MSG_GET: {
        if (!data) return TWRC_FAILURE;
        auto* identity = static_cast<TW_IDENTITY*>(data);
        DSIdentity.Id = identity->Id;
        *identity = DSIdentity;
        return TWRC_SUCCESS;
      }
      case MSG_CLOSEDS: return TWRC_SUCCESS;
      case MSG_OPENDS: return OpenSource(list, origin, DG, DAT, MSG, data);
      default: return TWRC_FAILURE;
    }
  }
  // The manager hands over its entry points before every open, from a host
  // that has no object yet; they are process-wide.
  if (DAT == DAT_ENTRYPOINT && MSG == MSG_SET) {
    // No object holds a condition code yet: a refusal is only the result.
    return AcceptDSMEntryPoints(static_cast<TW_ENTRYPOINT*>(data)) ? TWRC_SUCCESS : TWRC_FAILURE;
  }
  return TWRC_FAILURE;
}

TW_UINT16 SafeDispatch(std::list<DSInstanceEntry>& list, TW_IDENTITY* origin, TW_UINT32 DG,
                       TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
  try {
    return Dispatch(list, origin, DG, DAT, MSG, data);
  } catch (const std::exception& error) {
    std::cerr << "ds: " << error.what() << std::endl;
  } catch (...) {
    std::cerr << "ds: unexpected failure" << std::endl;
  }
  return TWRC_FAILURE;
}

// Whether a held notification still means something to its source's host.
bool StillMeant(const CTWAINDS_Base* ds, TW_UINT16 message) {
  if (!ds) return false;  // closed meanwhile
  const int state = ds->GetState();
  return state >= 5 && (message != MSG_XFERREADY || state == 6);
}

void Module::DropOvertaken(const TW_IDENTITY* from) {
  if (!from) return;
  const TW_UINT32 host = from->Id;
  CTWAINDS_Base* ds = FindInstanceOf(instances, host);
  std::erase_if(held, [&](const HeldNotification& notification) {
    return notification.hostId == host && !StillMeant(ds, notification.message);
  });
  if (ds && ds->GetState() != 6) ds->ForgetHeldXferReady();
}

bool Module::AnswerEvent(const TW_IDENTITY* from, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data,
                         TW_UINT16* result) {
  if (!from || !data || DG != DG_CONTROL || DAT != DAT_EVENT || MSG != MSG_PROCESSEVENT) return false;
  CTWAINDS_Base* ds = FindInstanceOf(instances, from->Id);
  auto first = std::find_if(held.begin(), held.end(),
                            [&](const HeldNotification& notification) { return notification.hostId == from->Id; });
  if (first == held.end() || !StillMeant(ds, first->message)) return false;
  const TW_UINT16 message = first->message;
  held.erase(first);
  static_cast<TW_EVENT*>(data)->TWMessage = message;
  ds->HeldNotificationSent(message, true);
  *result = TWRC_DSEVENT;
  return true;
}

TW_UINT16 Module::DispatchOnThread(TW_IDENTITY* from, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                   TW_MEMREF data) {
  TW_UINT16 result = TWRC_FAILURE;
  if (!AnswerEvent(from, DG, DAT, MSG, data, &result)) result = SafeDispatch(instances, from, DG, DAT, MSG, data);
  DropOvertaken(from);
  return result;
}

void Module::SendThoseBackInHost() {
  std::set<TW_UINT32> waiting;  // hosts not back yet: their later ones wait too
  for (auto it = held.begin(); it != held.end();) {
    const HeldNotification notification = *it;
    CTWAINDS_Base* ds = FindInstanceOf(instances, notification.hostId);
    if (!StillMeant(ds, notification.message)) {
      it = held.erase(it);
      continue;
    }
    if (waiting.count(notification.hostId) || !hostCalls.BackInHost(notification.hostId)) {
      waiting.insert(notification.hostId);
      ++it;
      continue;
    }
    it = held.erase(it);
    bool accepted = false;
    try {
      accepted = ds->SendNotification(notification.message) == TWRC_SUCCESS;
    } catch (...) {
      std::cerr << "ds: a host's notification callback failed" << std::endl;
    }
    // The host's callback may have called the source again, closing it too,
    // and raised more notifications: look again from the start.
    if (CTWAINDS_Base* again = FindInstanceOf(instances, notification.hostId))
      again->HeldNotificationSent(notification.message, accepted);
    it = held.begin();
    waiting.clear();
  }
}

std::set<TW_UINT32> Module::OpenHosts() const {
  std::set<TW_UINT32> open;
  for (const DSInstanceEntry& entry : instances) open.insert(entry.app.Id);
  return open;
}

void Module::SendHeldNotifications() {
  // Right after a host's call, or a new notification, the host's thread may
  // be on its way back: look often for a few milliseconds, unless the thread
  // has messages to handle first (a host's next call among them). Then ever
  // more slowly, at most every kSlowestLookMs, so that a host thread that
  // is stopped, or that waits with its manager's frame still live, costs
  // next to nothing; every message of the thread looks once too.
  constexpr auto kQuickFor = std::chrono::milliseconds(5);
  constexpr auto kBetweenQuickLooks = std::chrono::microseconds(250);
  constexpr unsigned kFirstLookMs = 10, kSlowestLookMs = 100;
  const auto now = std::chrono::steady_clock::now();
  const bool fresh = lookQuickly.exchange(false) || held.size() > heldBefore;
  if (fresh) quickUntil = now + kQuickFor;
  const bool quick = now < quickUntil;
  while (!held.empty()) {
    SendThoseBackInHost();
    if (held.empty() || std::chrono::steady_clock::now() >= quickUntil || (GetQueueStatus(QS_ALLINPUT) >> 16))
      break;
    std::this_thread::sleep_for(kBetweenQuickLooks);
  }
  heldBefore = held.size();
  if (held.empty()) {
    lookDelayMs = 0;
    return;
  }
  if (fresh) lookDelayMs = 0;
  if (quick && std::chrono::steady_clock::now() < quickUntil) {
    // The quick looks go on with the next message; the timer in case none comes.
    thread.WakeAfter(kFirstLookMs, false);
    return;
  }
  lookDelayMs = lookDelayMs ? std::min(2 * lookDelayMs, kSlowestLookMs) : kFirstLookMs;
  thread.WakeAfter(lookDelayMs, fresh);
}

void Module::StopThread() {
  thread.Stop();
  // The layer's workers run the module's code too: the manager may unload
  // it next.
  vqplatform::StopProcessWorkers();
}

void Module::End() {
  // A forked child's exit: nothing of the source runs there.
  if (g_forkedChild.load(std::memory_order_relaxed)) return;
  std::lock_guard lock(entryLock);
  // Every open source ends as a close would end it, outside the source's
  // modal loops: its window saves the settings. Nobody is told anything any
  // more: the host is ending.
  thread.Call(
      [this] {
        held.clear();
        instances.clear();
      },
      true);
  StopThread();
  app.ExitInstance();
}

// At the process's exit, or when the module is unloaded.
void EndAtExit(void*) { TheModule().End(); }

TW_UINT16 Module::Serve(TW_IDENTITY* from, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
  std::lock_guard lock(entryLock);
  const bool opening = DG == DG_CONTROL && DAT == DAT_IDENTITY && MSG == MSG_OPENDS;
  if (opening && !thread.IsRunning() && !thread.Start()) return TWRC_FAILURE;
  TW_UINT16 result = TWRC_FAILURE;
  bool nothingOpen = false;
  const bool handed = thread.Call(
      [&] {
        SetHeldNotifications(&held);
        result = DispatchOnThread(from, DG, DAT, MSG, data);
        nothingOpen = instances.empty();
        if (DAT == DAT_IDENTITY) hostCalls.KeepOnly(OpenHosts());
        heldBefore = 0;  // the host's thread is on its way back: look quickly
        lookQuickly = true;
      },
      DestroysWindows(DG, DAT, MSG));
  if (opening && !endRegistered) {
    // Registered once the first open has made what it uses: it runs before
    // every process-wide object made up to here goes, at exit or unload.
    // What the sources use later is kept with the layer's tables.
    endRegistered = true;
    vqplatform::StopWorkersAtExit();
    // OpenCV makes its thread pool's tables at their first use, from the
    // cameras' threads: made now, they go after the end that stops them.
    cv::parallel_for_(cv::Range(0, 2 * cv::getNumThreads()), [](const cv::Range&) {});
    __cxa_atexit(&EndAtExit, nullptr, &__dso_handle);
  }
  if (!handed) return TWRC_FAILURE;
  // The manager may unload the library right after the last close.
  if (nothingOpen) {
    StopThread();
  } else {
    // The host's thread is on its way back now.
    lookQuickly = true;
    thread.Wake();
  }
  return result;
}

}  // namespace

extern "C" VQ_EXPORT TW_UINT16 DS_Entry(TW_IDENTITY* origin, TW_UINT32 DG, TW_UINT16 DAT,
                                        TW_UINT16 MSG, TW_MEMREF data) {
  // The origin is the caller's stack copy: work on a copy of our own.
  TW_IDENTITY originCopy{};
  if (origin) originCopy = *origin;
  TW_IDENTITY* from = origin ? &originCopy : nullptr;

  // A forked child has none of the source's threads.
  if (g_forkedChild.load(std::memory_order_relaxed)) return TWRC_FAILURE;
  Module& module = TheModule();
  // Where the host's call is, until the very end of this function; and
  // where the frame that called it keeps its return address.
  CHostCallScope call(module.hostCalls, from, FindCallerFrame(__builtin_return_address(0)));
  if (module.thread.IsCurrentThread()) {
    // A call from inside a modal loop one of the source's handlers started
    // cannot wait for it to unwind: refused, nothing changes.
    if (DestroysWindows(DG, DAT, MSG) && vqplatform::InNestedLoop()) {
      if (CTWAINDS_Base* ds = FindInstance(module.instances, from)) ds->SetConditionCode(TWCC_SEQERROR);
      return TWRC_FAILURE;
    }
    return module.DispatchOnThread(from, DG, DAT, MSG, data);
  }
  return module.Serve(from, DG, DAT, MSG, data);
}

CStrenvikApp::CStrenvikApp() { InitInstance(); }

bool CStrenvikApp::InitInstance() { return true; }

int CStrenvikApp::ExitInstance() {
  UnloadDSM();
  return 0;
}

size_t OpenDataSourceCount() {
  Module& module = TheModule();
  std::lock_guard lock(module.entryLock);
  size_t count = 0;
  module.thread.Call([&] { count = module.instances.size(); });
  return count;
}

bool InForkedChild() { return g_forkedChild.load(std::memory_order_relaxed); }

bool IsDataSourceThreadRunning() {
  Module& module = TheModule();
  std::lock_guard lock(module.entryLock);
  return module.thread.IsRunning();
}

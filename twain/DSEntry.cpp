#include "twain/DSEntry.h"

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

void Module::SendThoseBackInHost() {
  std::set<TW_UINT32> waiting;  // hosts not back yet: their later ones wait too
  for (auto it = held.begin(); it != held.end();) {
    const HeldNotification notification = *it;
    if (waiting.count(notification.hostId) || !hostCalls.BackInHost(notification.hostId)) {
      waiting.insert(notification.hostId);
      ++it;
      continue;
    }
    it = held.erase(it);
    CTWAINDS_Base* ds = FindInstanceOf(instances, notification.hostId);
    if (!ds) continue;  // closed meanwhile
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
  // A host's call may still be on its way back: look again shortly, unless
  // the thread has messages to handle first (a host's next call among them).
  constexpr int kLooks = 20;
  constexpr auto kBetweenLooks = std::chrono::microseconds(250);
  for (int look = 0; !held.empty(); ++look) {
    SendThoseBackInHost();
    if (held.empty()) return;
    if (GetQueueStatus(QS_ALLINPUT) >> 16) return;
    if (look == kLooks) {
      thread.Wake();  // back here once the loop has turned
      return;
    }
    std::this_thread::sleep_for(kBetweenLooks);
  }
}

void Module::StopThread() {
  thread.Stop();
  // The layer's workers run the module's code too: the manager may unload
  // it next.
  vqplatform::StopProcessWorkers();
}

void Module::End() {
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
        result = SafeDispatch(instances, from, DG, DAT, MSG, data);
        nothingOpen = instances.empty();
        if (DAT == DAT_IDENTITY) hostCalls.KeepOnly(OpenHosts());
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
  if (nothingOpen)
    StopThread();
  else
    thread.Wake();
  return result;
}

}  // namespace

extern "C" VQ_EXPORT TW_UINT16 DS_Entry(TW_IDENTITY* origin, TW_UINT32 DG, TW_UINT16 DAT,
                                        TW_UINT16 MSG, TW_MEMREF data) {
  // The origin is the caller's stack copy: work on a copy of our own.
  TW_IDENTITY originCopy{};
  if (origin) originCopy = *origin;
  TW_IDENTITY* from = origin ? &originCopy : nullptr;

  Module& module = TheModule();
  // Where the host's call is, until the very end of this function.
  CHostCallScope call(module.hostCalls, from);
  if (module.thread.IsCurrentThread()) {
    // A call from inside a modal loop one of the source's handlers started
    // cannot wait for it to unwind: refused, nothing changes.
    if (DestroysWindows(DG, DAT, MSG) && vqplatform::InNestedLoop()) {
      if (CTWAINDS_Base* ds = FindInstance(module.instances, from)) ds->SetConditionCode(TWCC_SEQERROR);
      return TWRC_FAILURE;
    }
    return SafeDispatch(module.instances, from, DG, DAT, MSG, data);
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

bool IsDataSourceThreadRunning() {
  Module& module = TheModule();
  std::lock_guard lock(module.entryLock);
  return module.thread.IsRunning();
}

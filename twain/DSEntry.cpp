#include "twain/DSEntry.h"

#include <atomic>
#include <deque>
#include <exception>
#include <iostream>
#include <mutex>

#include "platform/win/ModalLoops.h"
#include "twain/DSMBinding.h"
#include "twain/DSNotifications.h"
#include "twain/DSUiThread.h"
#include "twain/TWAINDS_FreeImage.h"

#define VQ_EXPORT __attribute__((visibility("default")))

namespace {

// Everything the module keeps between calls. The instance list is touched
// only on the user-interface thread while it runs, and under the entry lock
// by the calling thread while it does not.
struct Module {
  CStrenvikApp app;
  std::list<DSInstanceEntry> instances;
  CDSUiThread thread;
  std::mutex entryLock;
  // Notifications raised on the thread, sent from its own loop (DSNotifications.h).
  std::deque<HeldNotification> held;
  // While a host's call is being served and until it has returned.
  std::atomic<bool> awaitingReturn{false};

  Module() {
    thread.SetTopLevelWork([this] { SendHeldNotifications(); });
  }
  ~Module() {
    // Objects that hosts never closed go with the module, on their thread.
    thread.Call([this] { instances.clear(); });
    thread.Stop();
  }
  void SendHeldNotifications();
};

Module& TheModule() {
  static Module module;
  return module;
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

void Module::SendHeldNotifications() {
  if (awaitingReturn) return;
  while (!held.empty()) {
    const HeldNotification notification = held.front();
    held.pop_front();
    CTWAINDS_Base* ds = FindInstanceOf(instances, notification.hostId);
    if (!ds) continue;  // closed meanwhile
    bool accepted = false;
    try {
      accepted = ds->SendNotification(notification.message) == TWRC_SUCCESS;
    } catch (...) {
      std::cerr << "ds: a host's notification callback failed" << std::endl;
    }
    // The host's callback may have called the source again, closing it too.
    if (CTWAINDS_Base* again = FindInstanceOf(instances, notification.hostId))
      again->HeldNotificationSent(notification.message, accepted);
  }
}

}  // namespace

extern "C" VQ_EXPORT TW_UINT16 DS_Entry(TW_IDENTITY* origin, TW_UINT32 DG, TW_UINT16 DAT,
                                        TW_UINT16 MSG, TW_MEMREF data) {
  // The origin is the caller's stack copy: work on a copy of our own.
  TW_IDENTITY originCopy{};
  if (origin) originCopy = *origin;
  TW_IDENTITY* from = origin ? &originCopy : nullptr;

  Module& module = TheModule();
  const bool destroying = DestroysWindows(DG, DAT, MSG);
  if (module.thread.IsCurrentThread()) {
    // A call from inside one of the source's modal loops cannot wait for
    // them to unwind: refused, nothing changes.
    if (destroying && vqplatform::ModalLoopDepth() > 0) {
      if (CTWAINDS_Base* ds = FindInstance(module.instances, from)) ds->SetConditionCode(TWCC_SEQERROR);
      return TWRC_FAILURE;
    }
    return SafeDispatch(module.instances, from, DG, DAT, MSG, data);
  }

  std::lock_guard lock(module.entryLock);
  const bool opening = DG == DG_CONTROL && DAT == DAT_IDENTITY && MSG == MSG_OPENDS;
  if (opening && !module.thread.IsRunning() && !module.thread.Start()) return TWRC_FAILURE;
  TW_UINT16 result = TWRC_FAILURE;
  bool nothingOpen = false;
  const bool handed = module.thread.Call(
      [&] {
        SetHeldNotifications(&module.held);
        module.awaitingReturn = true;
        result = SafeDispatch(module.instances, from, DG, DAT, MSG, data);
        nothingOpen = module.instances.empty();
      },
      destroying);
  // What the call raised reaches the host from the thread once it has returned.
  module.awaitingReturn = false;
  if (!handed) return TWRC_FAILURE;
  // The manager may unload the library right after the last close.
  if (nothingOpen)
    module.thread.Stop();
  else
    module.thread.Wake();
  return result;
}

CStrenvikApp::CStrenvikApp() { InitInstance(); }

CStrenvikApp::~CStrenvikApp() { ExitInstance(); }

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

// When the built library's notifications reach a host: a host that records
// whether one arrives during any of its own calls, from before it calls
// until the call has come back to it (through the manager's frame when it
// goes through one), re-enables the source without a window quickly, again
// and again, and arms its wait for the announcement only once its enable
// has returned. None may come early, and none may be lost.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>

#include "tests/support/TestEnv.h"
#include "tests/twain/TestManager.h"
#include "tests/twain/TransferHost.h"

namespace twaintest {
namespace {

constexpr int kReenables = 1000;

// What the host sees of the notifications.
struct Arrivals {
  std::mutex mutex;
  std::condition_variable told;
  bool inCall = false;
  int early = 0;
  int xferReady = 0;

  void Arrived(TW_UINT16 message) {
    std::lock_guard lock(mutex);
    if (inCall) ++early;
    if (message == MSG_XFERREADY) ++xferReady;
    told.notify_all();
  }
};

// One way to reach the source: open, call, close.
class Route {
 public:
  virtual ~Route() = default;
  virtual TW_UINT16 Open() = 0;
  virtual TW_UINT16 Call(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) = 0;
  virtual TW_UINT16 Close() = 0;
};

// Through the test manager.
class ThroughManager : public Route {
 public:
  explicit ThroughManager(Arrivals& arrivals) {
    host_.onNotify = [&arrivals](TW_UINT16 message) { arrivals.Arrived(message); };
  }
  TW_UINT16 Open() override { return manager_.OpenDS(host_); }
  TW_UINT16 Call(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) override {
    return manager_.Send(host_, DG, DAT, MSG, data);
  }
  TW_UINT16 Close() override { return manager_.CloseDS(host_); }

 private:
  TestManager manager_{std::string(STRENVIK_LIBRARY_PATH)};
  TestHost host_{41};
};

// A host that loads the library itself and is its own manager.
class Directly : public Route {
 public:
  explicit Directly(Arrivals& arrivals) { s_arrivals = &arrivals; }
  ~Directly() override {
    if (library_) dlclose(library_);
    s_arrivals = nullptr;
  }
  TW_UINT16 Open() override {
    library_ = dlopen(STRENVIK_LIBRARY_PATH, RTLD_LAZY | RTLD_LOCAL);
    if (!library_) return TWRC_FAILURE;
    entry_ = reinterpret_cast<DSENTRYPROC>(dlsym(library_, "DS_Entry"));
    if (!entry_) return TWRC_FAILURE;
    TW_ENTRYPOINT entryPoints = TestManager::EntryPoints();
    entryPoints.DSM_Entry = &Directly::Notified;
    Call(DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entryPoints);
    source_.Id = 500;
    return Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_);
  }
  TW_UINT16 Call(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) override {
    TW_IDENTITY origin = host_.identity;
    return entry_ ? entry_(&origin, DG, DAT, MSG, data) : TWRC_FAILURE;
  }
  TW_UINT16 Close() override { return Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_); }

 private:
  static TW_UINT16 Notified(TW_IDENTITY*, TW_IDENTITY*, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF) {
    if (DG == DG_CONTROL && DAT == DAT_NULL && s_arrivals) s_arrivals->Arrived(MSG);
    return TWRC_SUCCESS;
  }
  static inline Arrivals* s_arrivals = nullptr;
  void* library_ = nullptr;
  DSENTRYPROC entry_ = nullptr;
  TestHost host_{42};
  TW_IDENTITY source_{};
};

class QuickReenables : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { UsePatternCamera(); }
  void TearDown() override { unsetenv("VQ_VIRTUAL_CAMERA"); }
  // The host's call as the host sees it: from before it calls until the
  // call has come back.
  TW_UINT16 HostCall(Route& route, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
    {
      std::lock_guard lock(arrivals.mutex);
      arrivals.inCall = true;
    }
    const TW_UINT16 rc = route.Call(DG, DAT, MSG, data);
    std::lock_guard lock(arrivals.mutex);
    arrivals.inCall = false;
    return rc;
  }
  Arrivals arrivals;
};

TEST_P(QuickReenables, NoNotificationArrivesDuringTheHostsCalls) {
  const bool throughManager = GetParam();
  std::unique_ptr<Route> route = throughManager ? std::unique_ptr<Route>(std::make_unique<ThroughManager>(arrivals))
                                                : std::make_unique<Directly>(arrivals);
  ASSERT_EQ(route->Open(), TWRC_SUCCESS);
  int enabled = 0;
  for (; enabled < kReenables; ++enabled) {
    TW_USERINTERFACE ui{0, 0, nullptr};
    ASSERT_EQ(HostCall(*route, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS) << enabled;
    {
      // Armed only now: an announcement that came during the enable is lost.
      std::unique_lock lock(arrivals.mutex);
      ASSERT_TRUE(arrivals.told.wait_for(lock, vqtest::kPatience, [&] { return arrivals.xferReady > enabled; }))
          << "announcement " << enabled << " never came";
    }
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(HostCall(*route, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
    ASSERT_EQ(HostCall(*route, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
  EXPECT_EQ(route->Close(), TWRC_SUCCESS);
  std::lock_guard lock(arrivals.mutex);
  std::cerr << (throughManager ? "through the manager: " : "directly: ") << arrivals.early << " of " << enabled
            << " announcements came during a call of the host\n";
  RecordProperty("early", arrivals.early);
  RecordProperty("enables", enabled);
  EXPECT_EQ(arrivals.early, 0);
  EXPECT_EQ(arrivals.xferReady, kReenables);
}

INSTANTIATE_TEST_SUITE_P(Routes, QuickReenables, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "ThroughTheManager" : "Directly";
                         });

}  // namespace
}  // namespace twaintest

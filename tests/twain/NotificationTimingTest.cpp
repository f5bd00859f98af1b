// When the built library's notifications reach a host: a host that records
// whether one arrives during any of its own calls, from before it calls
// until the call has come back to it (through the manager's frame when it
// goes through one), re-enables the source without a window quickly, again
// and again, and arms its wait for the announcement only once its enable
// has returned. None may come early, and none may be lost: directly,
// through the manager, and through a manager whose return path waits on a
// lock another thread holds for a while after the source's entry returned
// (the host's thread lies in a futex wait inside the manager's frame, as it
// would in its own wait).
#include <gtest/gtest.h>

#include <atomic>
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
// How long the return path waits after the source's entry returned: ample
// for the source's thread to see the host's thread waiting and, if it took
// that for "back", to announce.
constexpr std::chrono::microseconds kReturnPathHold{2000};

enum class Route { Directly, ThroughTheManager, ThroughAManagerWaitingOnALock };

// What the host sees of the notifications.
struct Arrivals {
  std::mutex mutex;
  std::condition_variable told;
  // Set and cleared with nothing between it and the call: a lock taken
  // after the call would be the host's own wait, back from the call.
  std::atomic<bool> inCall{false};
  int early = 0;
  int xferReady = 0;

  void Arrived(TW_UINT16 message) {
    std::lock_guard lock(mutex);
    if (inCall) ++early;
    if (message == MSG_XFERREADY) ++xferReady;
    told.notify_all();
  }
};

class QuickReenables : public ::testing::TestWithParam<Route> {
 protected:
  void SetUp() override { UsePatternCamera(); }
  void TearDown() override { unsetenv("VQ_VIRTUAL_CAMERA"); }
  // The host's call as the host sees it: from before it calls until the
  // call has come back.
  TW_UINT16 HostCall(SourceRoute& route, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
    arrivals.inCall = true;
    const TW_UINT16 rc = route.Call(DG, DAT, MSG, data);
    arrivals.inCall = false;
    return rc;
  }
  Arrivals arrivals;
};

TEST_P(QuickReenables, NoNotificationArrivesDuringTheHostsCalls) {
  auto arrived = [this](TW_UINT16 message) { arrivals.Arrived(message); };
  std::unique_ptr<SourceRoute> route;
  const char* name = "directly";
  switch (GetParam()) {
    case Route::Directly: route = SourceRoute::Directly(STRENVIK_LIBRARY_PATH, arrived); break;
    case Route::ThroughTheManager:
      route = SourceRoute::ThroughManager(STRENVIK_LIBRARY_PATH, arrived);
      name = "through the manager";
      break;
    case Route::ThroughAManagerWaitingOnALock:
      route = SourceRoute::ThroughManager(STRENVIK_LIBRARY_PATH, arrived, kReturnPathHold);
      name = "through a manager whose return path waits on a lock";
      break;
  }
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
  std::cerr << name << ": " << arrivals.early << " of " << enabled
            << " announcements came during a call of the host\n";
  RecordProperty("early", arrivals.early);
  RecordProperty("enables", enabled);
  EXPECT_EQ(arrivals.early, 0);
  EXPECT_EQ(arrivals.xferReady, kReenables);
}

INSTANTIATE_TEST_SUITE_P(Routes, QuickReenables,
                         ::testing::Values(Route::Directly, Route::ThroughTheManager,
                                           Route::ThroughAManagerWaitingOnALock),
                         [](const ::testing::TestParamInfo<Route>& info) -> std::string {
                           switch (info.param) {
                             case Route::Directly: return "Directly";
                             case Route::ThroughTheManager: return "ThroughTheManager";
                             default: return "ThroughAManagerWaitingOnALock";
                           }
                         });

// A host that resets and disables right after its enable, while the
// announcement is still held (its thread is in the manager's return path),
// is never told of it: not in state 4, and not after its next enable, whose
// announcement is the one it gets. The next call is served only after the
// source's thread has sent all it could: by its return, both would be in.
TEST(HeldAnnouncements, NoneReachesAHostAfterItsDisable) {
  UsePatternCamera();
  Arrivals arrivals;
  auto route = SourceRoute::ThroughManager(
      STRENVIK_LIBRARY_PATH,
      [&](TW_UINT16 message) { arrivals.Arrived(message); },
      kReturnPathHold);
  ASSERT_EQ(route->Open(), TWRC_SUCCESS);
  TW_USERINTERFACE ui{0, 0, nullptr};
  TW_PENDINGXFERS pending{};
  for (int round = 0; round < 20; ++round) {
    ASSERT_EQ(route->Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_EQ(route->Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
    ASSERT_EQ(route->Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    const int before = [&] {
      std::lock_guard lock(arrivals.mutex);
      return arrivals.xferReady;
    }();
    ASSERT_EQ(route->Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    {
      std::unique_lock lock(arrivals.mutex);
      ASSERT_TRUE(arrivals.told.wait_for(lock, vqtest::kPatience, [&] { return arrivals.xferReady > before; }));
    }
    TW_STATUS status{};
    ASSERT_EQ(route->Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    {
      std::lock_guard lock(arrivals.mutex);
      ASSERT_EQ(arrivals.xferReady, before + 1) << "round " << round << ": the reset one came too";
    }
    ASSERT_EQ(route->Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
    ASSERT_EQ(route->Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
  EXPECT_EQ(route->Close(), TWRC_SUCCESS);
  unsetenv("VQ_VIRTUAL_CAMERA");
}

}  // namespace
}  // namespace twaintest

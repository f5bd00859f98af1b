// When the built library's notifications reach a host: a host that records
// whether one arrives during any of its own calls, from before it calls
// until the call has come back to it (through the manager's frame when it
// goes through one), re-enables the source without a window quickly, again
// and again, and arms its wait for the announcement only once its enable
// has returned. None may come early, and none may be lost.
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

class QuickReenables : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { UsePatternCamera(); }
  void TearDown() override { unsetenv("VQ_VIRTUAL_CAMERA"); }
  // The host's call as the host sees it: from before it calls until the
  // call has come back.
  TW_UINT16 HostCall(SourceRoute& route, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
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
  auto arrived = [this](TW_UINT16 message) { arrivals.Arrived(message); };
  std::unique_ptr<SourceRoute> route = throughManager ? SourceRoute::ThroughManager(STRENVIK_LIBRARY_PATH, arrived)
                                                      : SourceRoute::Directly(STRENVIK_LIBRARY_PATH, arrived);
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

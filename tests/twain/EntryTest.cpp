// DS_Entry as a TWAIN manager drives it: the instance list, the identity
// query, the user-interface thread that carries every triplet, and the
// notifications that reach the host through the manager.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "tests/support/TestEnv.h"
#include "tests/twain/CapabilityRecords.h"
#include "tests/twain/TestBridge.h"
#include "tests/twain/TestManager.h"
#include "twain/DSEntry.h"
#include "twain/DSMBinding.h"

namespace twaintest {
namespace {

class Entry : public ::testing::Test {
 protected:
  void TearDown() override {
    // Back to state 4 whatever a test left, then closed.
    for (TestHost* host : {&first, &second}) {
      TW_PENDINGXFERS pending{};
      manager.Send(*host, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
      TW_USERINTERFACE ui{};
      manager.Send(*host, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
      manager.CloseDS(*host);
    }
    EXPECT_EQ(OpenDataSourceCount(), 0u);
    EXPECT_FALSE(IsDataSourceThreadRunning());
    SetDSMEntryPoints(nullptr);
  }
  TW_UINT16 Enable(TestHost& host, bool showUI) {
    TW_USERINTERFACE ui{static_cast<TW_BOOL>(showUI ? 1 : 0), 0, nullptr};
    return manager.Send(host, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  }
  TW_UINT16 PixelType(TestHost& host) {
    TW_CAPABILITY cap{ICAP_PIXELTYPE, 0, nullptr};
    Answer answer = TakeAnswer(manager.Send(host, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT,
                                            &cap), cap);
    return static_cast<TW_UINT16>(answer.Item());
  }

  TestBridgeScope bridge;
  TestManager manager{&DS_Entry};
  TestHost first{1};
  TestHost second{2};
};

TEST_F(Entry, IdentityQueryBeforeAnyOpenCarriesTheQuerysId) {
  TW_IDENTITY identity{};
  ASSERT_EQ(manager.ProbeIdentity(&identity), TWRC_SUCCESS);
  EXPECT_EQ(+identity.Id, 100u);
  EXPECT_EQ(identity.Version.MajorNum, 2);
  EXPECT_EQ(identity.Version.MinorNum, 1);
  EXPECT_STREQ(identity.Version.Info, "1.8.0release32bit");
  EXPECT_EQ(identity.ProtocolMajor, 2);
  EXPECT_EQ(identity.ProtocolMinor, 1);
  EXPECT_EQ(+identity.SupportedGroups, 0x40000003u);
  EXPECT_STREQ(identity.Manufacturer, "Ombrecht\xC8\xED\xBC\xFE");
  EXPECT_STREQ(identity.ProductFamily, "Ombrecht\xD3\xB0\xCF\xF1\xB2\xC9\xBC\xAFTwain");
  EXPECT_STREQ(identity.ProductName, "Tirrowan Twain");
  EXPECT_FALSE(IsDataSourceThreadRunning()) << "nothing starts before an open";
}

TEST_F(Entry, UnknownHostsReachOnlyTheIdentityTripletsAndTheEntryPoints) {
  TW_IDENTITY origin = first.identity;
  TW_UINT32 group = 0;
  EXPECT_EQ(DS_Entry(&origin, DG_CONTROL, DAT_XFERGROUP, MSG_GET, &group), TWRC_FAILURE);
  TW_STATUS status{};
  EXPECT_EQ(DS_Entry(&origin, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_FAILURE);
  TW_IDENTITY source{};
  EXPECT_EQ(DS_Entry(&origin, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
  TW_ENTRYPOINT entry = TestManager::EntryPoints();
  EXPECT_EQ(DS_Entry(&origin, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry), TWRC_SUCCESS);
  EXPECT_EQ(DS_Entry(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_FAILURE);
  EXPECT_EQ(DS_Entry(&origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, nullptr), TWRC_FAILURE);
  EXPECT_EQ(DS_Entry(&origin, DG_CONTROL, DAT_IDENTITY, MSG_GET, nullptr), TWRC_FAILURE);
  EXPECT_EQ(OpenDataSourceCount(), 0u);
  EXPECT_FALSE(IsDataSourceThreadRunning());
}

TEST_F(Entry, EntryPointsEndingInsideAPointerOrNullAreRefusedAndKept) {
  TW_IDENTITY origin = first.identity;
  TW_ENTRYPOINT good = TestManager::EntryPoints();
  ASSERT_EQ(DS_Entry(&origin, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &good), TWRC_SUCCESS);
  TW_ENTRYPOINT torn{};
  std::memset(&torn, 0x5A, sizeof torn);
  for (TW_UINT32 size = 37; size <= 43; ++size) {
    std::memcpy(&torn, &size, 4);
    EXPECT_EQ(DS_Entry(&origin, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &torn), TWRC_FAILURE) << size;
  }
  EXPECT_EQ(DS_Entry(&origin, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, nullptr), TWRC_FAILURE);
  // An open source refuses them too, with a condition to read; what was set still works.
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &torn), TWRC_FAILURE);
  EXPECT_EQ(manager.Status(first), TWCC_BADVALUE);
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, nullptr), TWRC_FAILURE);
  TestManager::ResetMemoryCounts();
  EXPECT_EQ(PixelType(first), TWPT_RGB) << "the capability answer comes from the manager's memory";
  EXPECT_GE(TestManager::Memory().allocations, 1);
}

TEST_F(Entry, TwoHostsEachReachTheirOwnSource) {
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  ASSERT_EQ(manager.OpenDS(second), TWRC_SUCCESS);
  EXPECT_EQ(OpenDataSourceCount(), 2u);
  EXPECT_TRUE(IsDataSourceThreadRunning());

  TW_CAPABILITY cap{ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_GRAY)};
  TW_HANDLE block = cap.hContainer;
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap), TWRC_SUCCESS);
  FreeDSMMemory(block);
  EXPECT_EQ(PixelType(first), TWPT_GRAY);
  EXPECT_EQ(PixelType(second), TWPT_RGB);

  // Each source knows its own Id.
  TW_IDENTITY identity{};
  ASSERT_EQ(manager.Send(second, DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
  EXPECT_EQ(+identity.Id, IdOf(manager.SourceIdentity(second)));

  // A second open from the same host reaches its open source.
  TW_IDENTITY again = manager.SourceIdentity(first);
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &again), TWRC_FAILURE);
  EXPECT_EQ(manager.Status(first), TWCC_MAXCONNECTIONS);

  ASSERT_EQ(manager.CloseDS(first), TWRC_SUCCESS);
  EXPECT_EQ(OpenDataSourceCount(), 1u);
  EXPECT_EQ(PixelType(second), TWPT_RGB);
  // After the close the host is unknown again; a new open starts afresh.
  TW_STATUS status{};
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_FAILURE);
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  EXPECT_EQ(PixelType(first), TWPT_RGB);
}

// The announcement of an enable without a window reaches the host from the
// source's own thread once the enable has come back through the manager,
// also when the host makes another call first: a host that arms its wait
// once its call has returned is told.
TEST_F(Entry, NotificationsComeAfterTheCallThatRaisedThemReturned) {
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  std::mutex mutex;
  std::condition_variable changed;
  bool inCall = false;
  bool armed = false;
  int early = 0;
  int notifications = 0;
  std::thread::id notified;
  first.onNotify = [&](TW_UINT16) {
    std::lock_guard lock(mutex);
    if (inCall || !armed) ++early;
    notified = std::this_thread::get_id();
    ++notifications;
    changed.notify_all();
  };
  auto hostCall = [&](auto&& call) {
    {
      std::lock_guard lock(mutex);
      inCall = true;
    }
    const TW_UINT16 rc = call();
    std::lock_guard lock(mutex);
    inCall = false;
    return rc;
  };
  for (const bool anotherCallFirst : {false, true}) {
    Script().pages = {Page(30, 20)};
    ASSERT_EQ(hostCall([&] { return Enable(first, false); }), TWRC_SUCCESS);
    TW_IMAGEINFO info{};
    if (anotherCallFirst) {
      EXPECT_EQ(hostCall([&] { return manager.Send(first, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info); }),
                TWRC_SUCCESS);
    }
    std::unique_lock lock(mutex);
    armed = true;
    EXPECT_TRUE(changed.wait_for(lock, vqtest::kPatience, [&] { return notifications == 1; }));
    EXPECT_EQ(early, 0);
    EXPECT_NE(notified, std::this_thread::get_id());
    armed = false;
    notifications = 0;
    lock.unlock();
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(manager.Send(first, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
    TW_USERINTERFACE ui{};
    ASSERT_EQ(manager.Send(first, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
  first.onNotify = nullptr;
}

TEST_F(Entry, EnableWithoutInterfaceAnnouncesTheTransfer) {
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  manager.TakeNotifications();
  Script().pages = {Page(40, 30), Page(20, 10)};
  ASSERT_EQ(Enable(first, false), TWRC_SUCCESS);
  ASSERT_TRUE(manager.WaitForNotification(MSG_XFERREADY, vqtest::kPatience));
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(manager.Send(first, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
  std::vector<Notification> sent = manager.TakeNotifications();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].DG, DG_CONTROL);
  EXPECT_EQ(sent[0].DAT, DAT_NULL);
  EXPECT_EQ(sent[0].MSG, MSG_XFERREADY);
  EXPECT_FALSE(sent[0].hasData);
  EXPECT_EQ(sent[0].originId, IdOf(manager.SourceIdentity(first)));
  EXPECT_EQ(sent[0].destId, +first.identity.Id);
  EXPECT_EQ(Script().transferStarts, 1);

  TW_IMAGEINFO info{};
  ASSERT_EQ(manager.Send(first, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(+info.ImageWidth, 40) << "the first page of the window's list";
  EXPECT_EQ(+info.ImageLength, 30);
  EXPECT_EQ(info.BitsPerPixel, 24);
  EXPECT_EQ(info.SamplesPerPixel, 3);
  TW_IMAGELAYOUT layout{};
  ASSERT_EQ(manager.Send(first, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
  EXPECT_EQ(+layout.DocumentNumber, 1u);

  // The first end of transfer prepares the second page, the next returns to 5.
  const int endsBefore = Script().transferEnds;
  ASSERT_EQ(manager.Send(first, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending),
            TWRC_SUCCESS);
  EXPECT_EQ(pending.Count, 1);
  ASSERT_EQ(manager.Send(first, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(+info.ImageWidth, 20);
  ASSERT_EQ(manager.Send(first, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending),
            TWRC_SUCCESS);
  EXPECT_EQ(pending.Count, 0);
  EXPECT_EQ(Script().transferEnds, endsBefore + 1);
  TW_USERINTERFACE ui{};
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_TRUE(manager.TakeNotifications().empty()) << "no DAT_EVENT, nothing else sent";
}

// The enable has returned before the announcement is sent: a manager that
// refuses it leaves the source enabled and waiting (state 5), its counters
// as they were.
TEST_F(Entry, RefusedAnnouncementReturnsToStateFive) {
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  Script().pages = {Page(40, 30)};
  manager.SetNotificationResult(TWRC_FAILURE);
  EXPECT_EQ(Enable(first, false), TWRC_SUCCESS);
  ASSERT_TRUE(manager.WaitForNotification(MSG_XFERREADY, vqtest::kPatience));
  TW_PENDINGXFERS pending{};
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_FAILURE)
      << "no transfer was announced";
  EXPECT_EQ(manager.Status(first), TWCC_SEQERROR);
  EXPECT_EQ(manager.TakeNotifications().size(), 1u);
  TW_USERINTERFACE ui{};
  ASSERT_EQ(manager.Send(first, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS)
      << "state 5 again";
  TW_IMAGELAYOUT layout{};
  ASSERT_EQ(manager.Send(first, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
  EXPECT_EQ(+layout.DocumentNumber, 0u);
  EXPECT_EQ(+layout.PageNumber, 0u);
  manager.SetNotificationResult(TWRC_SUCCESS);
  EXPECT_EQ(Enable(first, false), TWRC_SUCCESS);
  ASSERT_TRUE(manager.WaitForNotification(MSG_XFERREADY, vqtest::kPatience));
  ASSERT_EQ(manager.Send(first, DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(manager.TakeNotifications().size(), 1u);
}

TEST_F(Entry, EnableWithoutPagesFailsBackToStateFour) {
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  EXPECT_EQ(Enable(first, false), TWRC_FAILURE);
  EXPECT_EQ(manager.Status(first), TWCC_SEQERROR);
  EXPECT_TRUE(manager.TakeNotifications().empty());
  EXPECT_EQ(manager.CloseDS(first), TWRC_SUCCESS) << "closing is allowed in state 4";
}

TEST_F(Entry, ClosingAnEnabledSourceIsRefused) {
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  ASSERT_EQ(Enable(first, true), TWRC_SUCCESS);
  EXPECT_EQ(manager.CloseDS(first), TWRC_FAILURE);
  EXPECT_EQ(manager.Status(first), TWCC_SEQERROR);
  EXPECT_EQ(OpenDataSourceCount(), 1u);
  TW_USERINTERFACE ui{};
  ASSERT_EQ(manager.Send(first, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
}

TEST_F(Entry, ResetOfPendingTransfersEndsThem) {
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  Script().pages = {Page(40, 30), Page(20, 10)};
  ASSERT_EQ(Enable(first, false), TWRC_SUCCESS);
  manager.TakeNotifications();
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(manager.Send(first, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(pending.Count, 0);
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  TW_USERINTERFACE hide{};
  ASSERT_EQ(manager.Send(first, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &hide),
            TWRC_SUCCESS);
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_FAILURE)
      << "a disabled source is not enabled by a reset";
  EXPECT_EQ(manager.Status(first), TWCC_SEQERROR);
}

}  // namespace
}  // namespace twaintest

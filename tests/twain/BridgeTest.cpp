// The bridge's side of the source: the window's capability accessors, its
// upload and its cancel, as the camera window will use them.
#include "tests/twain/SourceFixture.h"

namespace twaintest {
namespace {

class Bridge : public SourceFixture {
 protected:
  CTWAIN_UI& ui() { return *ds->GetUI(); }
};

TEST_F(Bridge, AccessorsReadWhereTheSourceKeepsEachCapability) {
  MakeSource(5);
  EXPECT_EQ(ui().GetCapCurrentIndex(ICAP_PIXELTYPE), TWPT_RGB);
  EXPECT_EQ(ui().GetCapInt(ICAP_JPEGQUALITY), 30);
  EXPECT_EQ(ui().GetCapInt(ICAP_BITDEPTH), 24);
  EXPECT_NEAR(ui().GetCapFloat(ICAP_XRESOLUTION), 220.05, 1e-4);
  EXPECT_FLOAT_EQ(ui().GetCapFloat(ICAP_THRESHOLD), 128);
  EXPECT_FLOAT_EQ(ui().GetCapFloat(ICAP_PIXELTYPE), 0) << "not a FIX32 capability";
  EXPECT_EQ(ui().GetCapInt(ICAP_GAMMA), 0) << "not an integer capability";
  EXPECT_EQ(ui().GetCapCurrentIndex(0x7777), 0);
}

TEST_F(Bridge, SettersPassTheHostsChecksAndLeaveNoCondition) {
  MakeSource(5);
  EXPECT_TRUE(ui().SetCapFloat(ICAP_XRESOLUTION, 300));
  EXPECT_FLOAT_EQ(Cap(MSG_GETCURRENT, ICAP_XRESOLUTION).Fix32Item(), 300);
  EXPECT_TRUE(ui().SetCapInt(ICAP_PIXELTYPE, TWPT_GRAY));
  EXPECT_EQ(ui().GetCapInt(ICAP_BITDEPTH), 8);
  EXPECT_FALSE(ui().SetCapInt(ICAP_PIXELTYPE, 5));
  EXPECT_EQ(Status(), TWCC_SUCCESS);
  EXPECT_TRUE(ui().SetCapFloat(ICAP_THRESHOLD, 99.5f)) << "a fitted value counts as set";
  EXPECT_FLOAT_EQ(ui().GetCapFloat(ICAP_THRESHOLD), 99);
  EXPECT_FALSE(ui().SetCapInt(0x7777, 1));
  EXPECT_EQ(Status(), TWCC_CAPUNSUPPORTED);

  MakeSource(6);
  EXPECT_FALSE(ui().SetCapFloat(ICAP_XRESOLUTION, 300));
  EXPECT_EQ(Status(), TWCC_SUCCESS);
  EXPECT_NEAR(Cap(MSG_GETCURRENT, ICAP_XRESOLUTION).Fix32Item(), 220.05, 1e-4);
}

TEST_F(Bridge, CancelBeforeAnyUploadOnlyAsksToClose) {
  MakeSource(5);
  EXPECT_TRUE(ui().Cancel());
  std::vector<Notification> sent = manager.TakeNotifications();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].MSG, MSG_CLOSEDSREQ);
  EXPECT_EQ(sent[0].originId, 55u);
  EXPECT_EQ(sent[0].destId, +host.identity.Id);
}

TEST_F(Bridge, CancelDuringTransfersEndsThemAtTheNextEnd) {
  MakeSource(6);
  EXPECT_TRUE(ui().IsTransferAnnounced());
  EXPECT_FALSE(ui().Cancel()) << "no close request outside state 5";
  EXPECT_TRUE(manager.TakeNotifications().empty());
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
  EXPECT_EQ(pending.Count, 0) << "two pages were left";
  EXPECT_EQ(ds->GetState(), 5);
}

TEST_F(Bridge, UploadFromTheWindowAnnouncesOnce) {
  MakeSource(5);
  EXPECT_FALSE(ui().Scan()) << "no page in the window";
  EXPECT_TRUE(manager.TakeNotifications().empty());
  Script().pages = {Page(8, 8)};
  EXPECT_TRUE(ui().Scan());
  EXPECT_EQ(ds->GetState(), 6);
  std::vector<Notification> sent = manager.TakeNotifications();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].MSG, MSG_XFERREADY);
  EXPECT_FALSE(ui().Scan()) << "already announced";
}

TEST_F(Bridge, RefusedAnnouncementLeavesTheSourceWaiting) {
  MakeSource(5);
  Script().pages = {Page(8, 8)};
  manager.SetNotificationResult(TWRC_FAILURE);
  EXPECT_FALSE(ui().Scan());
  EXPECT_FALSE(ui().IsTransferAnnounced());
  EXPECT_EQ(ds->GetState(), 5);
  TW_IMAGELAYOUT layout{};
  ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
  EXPECT_EQ(+layout.DocumentNumber, 0u);
  EXPECT_EQ(+layout.PageNumber, 0u);
  TW_PENDINGXFERS pending{};
  EXPECT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_FAILURE);
  manager.SetNotificationResult(TWRC_SUCCESS);
  EXPECT_TRUE(ui().Scan());
  EXPECT_EQ(ds->GetState(), 6);
}

TEST_F(Bridge, ConfirmCloseTellsTheHostInStateFiveOnly) {
  MakeSource(5);
  EXPECT_TRUE(ui().ConfirmClose());
  ASSERT_EQ(manager.TakeNotifications().at(0).MSG, MSG_CLOSEDSOK);
  MakeSource(4);
  EXPECT_FALSE(ui().ConfirmClose());
  EXPECT_EQ(Status(), TWCC_SEQERROR);
}

TEST_F(Bridge, WindowBridgeWithoutAWindowRefusesToShow) {
  MakeSource(4);
  CMFC_UI window(ds.get());
  TW_USERINTERFACE hidden{0, 0, nullptr};
  EXPECT_EQ(window.ShowUI(hidden, false, false), TWRC_SUCCESS);
  EXPECT_TRUE(window.IsTransferAnnounced());
  EXPECT_EQ(window.ShowUI(hidden, true, false), TWRC_FAILURE) << "UI-only always shows";
  TW_USERINTERFACE shown{1, 0, nullptr};
  EXPECT_EQ(window.ShowUI(shown, false, false), TWRC_FAILURE);
  EXPECT_FALSE(window.IsTransferAnnounced());
  EXPECT_TRUE(window.GetImages().empty());
  EXPECT_FALSE(window.CaptureWithoutUI());
  EXPECT_FALSE(window.OnTransferStart());
  EXPECT_FALSE(window.OnTransferEnd());
}

TEST_F(Bridge, WindowThatCannotOpenRefusesTheEnable) {
  MakeSource(4);
  Script().windowOpens = false;
  TW_USERINTERFACE ui{1, 0, nullptr};
  EXPECT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_OPERATIONERROR);
  EXPECT_EQ(ds->GetState(), 4);
}

}  // namespace
}  // namespace twaintest

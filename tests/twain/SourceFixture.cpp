#include "tests/twain/SourceFixture.h"

#include "platform/twain/TwainAccess.h"
#include "twain/DSMBinding.h"
#include "twain/TWAINContainer.h"

namespace twaintest {

void SourceFixture::SetUp() {
  TW_ENTRYPOINT entry = TestManager::EntryPoints();
  SetDSMEntryPoints(&entry);
}

void SourceFixture::TearDown() {
  ds.reset();
  SetDSMEntryPoints(nullptr);
}

void SourceFixture::MakeSource(int state, bool app2) {
  host = TestHost(7, app2);
  ds = std::make_unique<ProbeSource>(host.identity);
  ASSERT_EQ(ds->Initialize(), TWRC_SUCCESS);
  if (state < 4) return;
  TW_IDENTITY source = DSIdentity;
  source.Id = 55;
  TW_IDENTITY origin = host.identity;
  ASSERT_EQ(ds->DispatchTriplet(&origin, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source),
            TWRC_SUCCESS);
  if (state < 5) return;
  TW_USERINTERFACE ui{1, 0, nullptr};
  if (state >= 6) {
    Script().pages = {Page(40, 30), Page(20, 10)};
    ui.ShowUI = 0;
  }
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(ds->GetState(), state >= 6 ? 6 : 5);
  if (state == 7) ds->ForceState(7);
  manager.TakeNotifications();
}

TW_UINT16 SourceFixture::Send(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
  TW_IDENTITY origin = host.identity;
  return ds->DispatchTriplet(&origin, DG, DAT, MSG, data);
}

TW_UINT16 SourceFixture::Status() {
  TW_STATUS status{0xFFFF, 0};
  EXPECT_EQ(Send(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
  return status.ConditionCode;
}

Answer SourceFixture::Cap(TW_UINT16 MSG, TW_UINT16 cap) {
  TW_CAPABILITY record{cap, 0, nullptr};
  TW_UINT16 rc = Send(DG_CONTROL, DAT_CAPABILITY, MSG, &record);
  return TakeAnswer(rc, record);
}

Answer SourceFixture::Set(TW_UINT16 cap, TW_UINT16 conType, TW_HANDLE block) {
  TW_CAPABILITY record{cap, conType, block};
  Answer answer;
  answer.rc = Send(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &record);
  answer.conType = conType;
  auto* p = static_cast<uint8_t*>(LockDSMMemory(block));
  const TW_UINT16 itemType = twain::Load<TW_UINT16>(p);
  size_t size = 6;
  if (conType == TWON_RANGE) size = 22;
  if (conType == TWON_ONEVALUE && itemType == TWTY_FRAME) size = 18;
  if (conType == TWON_ENUMERATION)
    size = 14 + twain::Load<TW_UINT32>(p, 2) * CTWAINContainer::GetItemSize(itemType);
  answer.bytes.assign(p, p + size);
  UnlockDSMMemory(block);
  FreeDSMMemory(block);
  return answer;
}

TW_UINT16 SourceFixture::SetUnits(TW_UINT16 units) {
  return Set(ICAP_UNITS, TWON_ONEVALUE, OneValue(TWTY_UINT16, units)).rc;
}

}  // namespace twaintest

#pragma once
// A camera data source object driven directly (not through DS_Entry), with
// the test bridge and the test manager's entry points, brought into any
// TWAIN state.
#include <gtest/gtest.h>

#include <memory>

#include "tests/twain/CapabilityRecords.h"
#include "tests/twain/TestBridge.h"
#include "tests/twain/TestManager.h"
#include "twain/TWAINDS_FreeImage.h"

namespace twaintest {

class ProbeSource : public CTWAINDS_FreeImage {
 public:
  using CTWAINDS_FreeImage::CTWAINDS_FreeImage;
  // Only state 7 needs this: it is entered by a transfer.
  void ForceState(int state) { m_state = state; }
};

class SourceFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A fresh source in the given state (3 to 7).
  void MakeSource(int state, bool app2 = true);
  TW_UINT16 Send(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data);
  TW_UINT16 Status();
  Answer Cap(TW_UINT16 MSG, TW_UINT16 cap);
  // MSG_SET with a record (freed afterwards); the record is read back.
  Answer Set(TW_UINT16 cap, TW_UINT16 conType, TW_HANDLE record);
  TW_UINT16 SetUnits(TW_UINT16 units);

  TestBridgeScope bridge;
  TestManager manager{static_cast<DSENTRYPROC>(nullptr)};
  TestHost host{7};
  std::unique_ptr<ProbeSource> ds;
};

}  // namespace twaintest

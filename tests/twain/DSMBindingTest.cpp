// The binding to the manager: memory functions and notifications.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/twain/TestManager.h"
#include "twain/DSMBinding.h"

namespace twaintest {
namespace {

class Binding : public ::testing::Test {
 protected:
  void SetUp() override { TestManager::ResetMemoryCounts(); }
  void TearDown() override {
    SetDSMEntryPoints(nullptr);
    UnloadDSM();
    unsetenv("VQ_TWAIN_DSM");
  }
};

TEST_F(Binding, LocalHeapBlocksStartZeroFilled) {
  for (TW_UINT32 size : {1u, 64u, 100000u}) {
    TW_HANDLE block = AllocDSMMemory(size);
    ASSERT_NE(block, nullptr);
    auto* bytes = static_cast<unsigned char*>(LockDSMMemory(block));
    for (TW_UINT32 i = 0; i < size; ++i) ASSERT_EQ(bytes[i], 0) << i;
    UnlockDSMMemory(block);
    FreeDSMMemory(block);
  }
  EXPECT_EQ(TestManager::Memory().allocations, 0);
}

TEST_F(Binding, ManagerMemoryIsUsedOnlyAsACompleteSet) {
  TW_ENTRYPOINT entry = TestManager::EntryPoints();
  entry.DSM_MemLock = nullptr;
  SetDSMEntryPoints(&entry);
  TW_HANDLE local = AllocDSMMemory(16);
  FreeDSMMemory(local);
  EXPECT_EQ(TestManager::Memory().allocations, 0);
  EXPECT_EQ(TestManager::Memory().frees, 0);

  entry = TestManager::EntryPoints();
  SetDSMEntryPoints(&entry);
  TW_HANDLE managed = AllocDSMMemory(16);
  LockDSMMemory(managed);
  UnlockDSMMemory(managed);
  FreeDSMMemory(managed);
  EXPECT_EQ(TestManager::Memory().allocations, 1);
  EXPECT_EQ(TestManager::Memory().locks, 1);
  EXPECT_EQ(TestManager::Memory().unlocks, 1);
  EXPECT_EQ(TestManager::Memory().frees, 1);
}

TEST_F(Binding, ABlockGoesBackToTheAllocatorThatMadeIt) {
  TW_HANDLE local = AllocDSMMemory(16);
  TW_ENTRYPOINT entry = TestManager::EntryPoints();
  SetDSMEntryPoints(&entry);
  TW_HANDLE managed = AllocDSMMemory(16);
  FreeDSMMemory(local);
  EXPECT_EQ(TestManager::Memory().frees, 0) << "the local block is freed locally";
  SetDSMEntryPoints(nullptr);
  EXPECT_EQ(LockDSMMemory(managed), managed);
  FreeDSMMemory(managed);
  EXPECT_EQ(TestManager::Memory().allocations, 1);
}

TEST_F(Binding, AShortEntryPointRecordIsNotReadPastItsSize) {
  TestManager manager{static_cast<DSENTRYPROC>(nullptr)};
  // Only Size and DSM_Entry are inside the record; what follows is not ours.
  struct Short {
    TW_ENTRYPOINT record;
    unsigned char guard[8];
  } buffer;
  std::memset(&buffer, 0xAB, sizeof buffer);
  TW_ENTRYPOINT full = TestManager::EntryPoints();
  const TW_UINT32 size = 4 + sizeof(void*);
  std::memcpy(&buffer.record, &size, 4);
  std::memcpy(reinterpret_cast<char*>(&buffer.record) + 4, &full.DSM_Entry, sizeof(void*));
  SetDSMEntryPoints(&buffer.record);
  TW_HANDLE block = AllocDSMMemory(8);  // from the local heap: no allocator was handed over
  EXPECT_EQ(TestManager::Memory().allocations, 0);
  FreeDSMMemory(block);
  TW_IDENTITY from{}, to{};
  EXPECT_EQ(CallDSMEntry(&from, &to, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr),
            TWRC_SUCCESS);
}

TEST_F(Binding, WithoutEntryPointsTheManagerLibraryIsLoaded) {
  setenv("VQ_TWAIN_DSM", "/nonexistent/libtwaindsm.so", 1);
  TW_IDENTITY from{}, to{};
  testing::internal::CaptureStderr();
  EXPECT_EQ(CallDSMEntry(&from, &to, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr),
            TWRC_FAILURE);
  std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("Error - Could not load DSM: /nonexistent/libtwaindsm.so"),
            std::string::npos);
  EXPECT_NE(errors.find("Could not load the DSM"), std::string::npos);
  EXPECT_STREQ(DSMLibraryName(), "/nonexistent/libtwaindsm.so");
  unsetenv("VQ_TWAIN_DSM");
  EXPECT_STREQ(DSMLibraryName(), "libtwaindsm.so");
}

TEST_F(Binding, ALibraryWithoutTheEntryIsReported) {
  // Any shared library lacking DSM_Entry will do.
  setenv("VQ_TWAIN_DSM", "libm.so.6", 1);
  TW_IDENTITY from{}, to{};
  testing::internal::CaptureStderr();
  EXPECT_EQ(CallDSMEntry(&from, &to, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr),
            TWRC_FAILURE);
  std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_NE(errors.find("Error - Could not find DSM_Entry function in DSM: libm.so.6"),
            std::string::npos);
  EXPECT_NE(errors.find("Could not load the DSM"), std::string::npos);
  // The library stays loaded; the next notification looks for the entry again.
  testing::internal::CaptureStderr();
  EXPECT_EQ(CallDSMEntry(&from, &to, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr),
            TWRC_FAILURE);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("No Entry Point for DSM_Entry"),
            std::string::npos);
}

TEST_F(Binding, HandedOverEntryIsCalledWithTheSameArguments) {
  TestManager manager{static_cast<DSENTRYPROC>(nullptr)};
  TW_ENTRYPOINT entry = TestManager::EntryPoints();
  SetDSMEntryPoints(&entry);
  setenv("VQ_TWAIN_DSM", "/nonexistent/never-loaded.so", 1);
  TW_IDENTITY from{}, to{};
  from.Id = 11;
  to.Id = 12;
  EXPECT_EQ(CallDSMEntry(&from, &to, DG_CONTROL, DAT_NULL, MSG_CLOSEDSREQ, nullptr),
            TWRC_SUCCESS);
  std::vector<Notification> sent = manager.TakeNotifications();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].originId, 11u);
  EXPECT_EQ(sent[0].destId, 12u);
  EXPECT_EQ(sent[0].MSG, MSG_CLOSEDSREQ);
}

}  // namespace
}  // namespace twaintest

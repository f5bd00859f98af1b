// The built libStrenvik.so loaded as the Linux manager loads it: RTLD_LAZY
// and local, around every open, unloaded after the last close.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "tests/support/ThreadTimes.h"
#include "tests/twain/CapabilityRecords.h"
#include "tests/twain/TestManager.h"

namespace twaintest {
namespace {

using vqtest::ThreadCount;

class Library : public ::testing::Test {
 protected:
  // OpenCV's pool is the process's, not the source's: started first.
  void SetUp() override { vqtest::StartOpenCvWorkers(); }
  TestManager manager{std::string(STRENVIK_LIBRARY_PATH)};
  TestHost first{1};
  TestHost second{2, false};
};

TEST_F(Library, ExportsOnlyTheEntry) {
  void* library = dlopen(STRENVIK_LIBRARY_PATH, RTLD_LAZY | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  EXPECT_NE(dlsym(library, "DS_Entry"), nullptr);
  EXPECT_EQ(dlsym(library, "CallDSMEntry"), nullptr);
  EXPECT_EQ(dlsym(library, "_Z12CallDSMEntryP11TW_IDENTITYS0_jttPv"), nullptr);
  dlclose(library);
}

TEST_F(Library, AnswersTheIdentityQueryAndUnloads) {
  const int threads = ThreadCount();
  TW_IDENTITY identity{};
  ASSERT_EQ(manager.ProbeIdentity(&identity), TWRC_SUCCESS);
  EXPECT_STREQ(identity.ProductName, "Tirrowan Twain");
  EXPECT_EQ(+identity.SupportedGroups & (DG_CONTROL | DG_IMAGE), DG_CONTROL | DG_IMAGE);
  EXPECT_EQ(identity.ProtocolMajor, 2);
  EXPECT_FALSE(manager.IsLibraryLoaded());
  EXPECT_EQ(ThreadCount(), threads);
}

TEST_F(Library, TwoHostsOpenAndCloseWithNothingLeftRunning) {
  const int threads = ThreadCount();
  TestManager::ResetMemoryCounts();
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  ASSERT_EQ(manager.OpenDS(second), TWRC_SUCCESS);
  EXPECT_TRUE(manager.IsLibraryLoaded());
  EXPECT_EQ(ThreadCount(), threads + 1) << "one user-interface thread for both";

  // Host 1 narrows its pixel types; host 2's source is untouched.
  TW_CAPABILITY set{ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_BW)};
  TW_HANDLE block = set.hContainer;
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &set), TWRC_SUCCESS);
  std::free(block);
  TW_CAPABILITY get{ICAP_PIXELTYPE, 0, nullptr};
  Answer one = TakeAnswer(manager.Send(first, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &get),
                          get);
  EXPECT_EQ(one.Item(), TWPT_BW);
  TW_CAPABILITY other{CAP_AUTOFEED, 0, nullptr};
  TW_UINT16 rc = manager.Send(second, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &other);
  EXPECT_EQ(other.ConType, TWON_ONEVALUE) << "host 2 speaks TWAIN 1";
  TakeAnswer(rc, other);
  TW_CAPABILITY pixel{ICAP_PIXELTYPE, 0, nullptr};
  Answer two = TakeAnswer(
      manager.Send(second, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &pixel), pixel);
  EXPECT_EQ(two.Item(), TWPT_RGB);

  // Blocks handed to the host come from the manager's memory functions.
  MemoryCounts memory = TestManager::Memory();
  EXPECT_GE(memory.allocations, 3);
  EXPECT_EQ(memory.locks, memory.unlocks);

  // With the user interface shown there is no window to open in this build.
  TW_USERINTERFACE ui{1, 0, nullptr};
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_FAILURE);
  EXPECT_EQ(manager.Status(first), TWCC_OPERATIONERROR);

  ASSERT_EQ(manager.CloseDS(first), TWRC_SUCCESS);
  EXPECT_TRUE(manager.IsLibraryLoaded());
  ASSERT_EQ(manager.CloseDS(second), TWRC_SUCCESS);
  EXPECT_FALSE(manager.IsLibraryLoaded());
  EXPECT_EQ(ThreadCount(), threads);
  EXPECT_TRUE(manager.TakeNotifications().empty());
}

// Without a display a window cannot reach anybody: an enable that would
// show it fails, the source stays disabled, and one without a window still
// works.
TEST_F(Library, WithoutADisplayEnablesThatShowTheWindowFail) {
  setenv("VQ_VIRTUAL_CAMERA", "vid=2E1A,pid=0101,sizes=640x480", 1);
  unsetenv("VQ_HEADLESS");
  unsetenv("DISPLAY");
  ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
  TW_USERINTERFACE shown{1, 0, nullptr};
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &shown), TWRC_FAILURE);
  EXPECT_EQ(manager.Status(first), TWCC_OPERATIONERROR);
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, &shown), TWRC_FAILURE);
  EXPECT_EQ(manager.Status(first), TWCC_OPERATIONERROR);
  TW_USERINTERFACE unattended{0, 0, nullptr};
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &unattended), TWRC_SUCCESS);
  TW_PENDINGXFERS pending{};
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &unattended), TWRC_SUCCESS);
  ASSERT_EQ(manager.CloseDS(first), TWRC_SUCCESS);
  setenv("VQ_HEADLESS", "1", 1);
}

TEST_F(Library, ReopensAfterUnload) {
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(manager.OpenDS(first), TWRC_SUCCESS);
    TW_UINT32 group = 0;
    EXPECT_EQ(manager.Send(first, DG_CONTROL, DAT_XFERGROUP, MSG_GET, &group), TWRC_SUCCESS);
    EXPECT_EQ(group, DG_IMAGE);
    ASSERT_EQ(manager.CloseDS(first), TWRC_SUCCESS);
    EXPECT_FALSE(manager.IsLibraryLoaded());
  }
}

TEST_F(Library, StaysWhileASourceIsLeftOpen) {
  const int threads = ThreadCount();
  TestHost host{9};
  {
    TestManager careless{std::string(STRENVIK_LIBRARY_PATH)};
    ASSERT_EQ(careless.OpenDS(host), TWRC_SUCCESS);
  }  // dlclose without MSG_CLOSEDS
  // The source's thread still runs the open source, so the library stays.
  EXPECT_TRUE(manager.IsLibraryLoaded());
  EXPECT_EQ(ThreadCount(), threads + 1);
  // Once the host closes it, the thread ends and the library goes.
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_FALSE(manager.IsLibraryLoaded());
  EXPECT_EQ(ThreadCount(), threads);
}

}  // namespace
}  // namespace twaintest

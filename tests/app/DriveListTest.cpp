#include <gtest/gtest.h>

#include <cstdlib>

#include "app/DriveList.h"
#include "tests/platform/PrintCString.h"
#include "tests/support/TestEnv.h"

namespace {

TEST(CDriveList, EntriesInLetterOrder) {
  CDriveList list;
  EXPECT_EQ(list.FillFromMask(0b11100, 0), 3);
  ASSERT_EQ(list.drives.size(), 3u);
  EXPECT_EQ(list.drives[0], L"C:\n");
  EXPECT_EQ(list.drives[1], L"D:\n");
  EXPECT_EQ(list.drives[2], L"E:\n");
  EXPECT_EQ(list.FillFromMask(1u << 25 | 1u, 0), 2);  // refilling replaces
  EXPECT_EQ(list.drives[0], L"A:\n");
  EXPECT_EQ(list.drives[1], L"Z:\n");
  EXPECT_EQ(list.substituteDrive, 0);
}

TEST(CDriveList, FailedQueryIsReported) {
  CDriveList list;
  list.FillFromMask(0b100, 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(list.FillFromMask(0, 5), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "_getdrives() failed with failure code: 5\n");
  EXPECT_TRUE(list.drives.empty());
  EXPECT_EQ(list.lastError, 5);
}

TEST(CDriveList, TheLayersDrives) {
  CDriveList list;
  EXPECT_EQ(list.Fill(), 2);  // C: and D: (the home folder)
  setenv("VQ_DRIVE_D", "", 1);
  EXPECT_EQ(list.Fill(), 1);
  EXPECT_EQ(list.drives[0], L"C:\n");
}

}  // namespace

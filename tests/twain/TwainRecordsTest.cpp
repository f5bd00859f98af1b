// Layout of the TWAIN records as hosts and managers on 64-bit Linux see them.
#include <gtest/gtest.h>

#include "platform/twain/Twain.h"

TEST(TwainRecords, FieldOffsetsFollowTwoBytePacking) {
  EXPECT_EQ(offsetof(TW_IDENTITY, Version), 4u);
  EXPECT_EQ(offsetof(TW_IDENTITY, SupportedGroups), 50u);
  EXPECT_EQ(offsetof(TW_IDENTITY, ProductName), 122u);
  EXPECT_EQ(offsetof(TW_ONEVALUE, Item), 2u);
  EXPECT_EQ(offsetof(TW_RANGE, CurrentValue), 18u);
  EXPECT_EQ(offsetof(TW_CAPABILITY, hContainer), 4u);
  EXPECT_EQ(offsetof(TW_PENDINGXFERS, EOJ), 2u);
  EXPECT_EQ(offsetof(TW_IMAGEINFO, BitsPerPixel), 34u);
  EXPECT_EQ(offsetof(TW_IMAGEMEMXFER, Memory), 26u);
  EXPECT_EQ(offsetof(TW_ENTRYPOINT, DSM_Entry), 4u);
  EXPECT_EQ(offsetof(TW_ENTRYPOINT, DSM_MemUnlock), 4u + 4 * sizeof(void*));
  EXPECT_EQ(offsetof(TW_SETUPFILEXFER, Format), 256u);
}

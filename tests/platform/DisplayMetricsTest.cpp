#include <gtest/gtest.h>

#include "platform/win/GdiSurface.h"
#include "platform/win/SystemMetrics.h"

namespace {

class DisplayMetricsTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = vqplatform::GetScreenSize(); }
  void TearDown() override {
    vqplatform::SetScreenSize(saved_.cx, saved_.cy);
    vqplatform::SetWorkArea(RECT{});
  }
  SIZE saved_{};
};

TEST_F(DisplayMetricsTest, ScreenAndWorkAreaFollowTheScreen) {
  vqplatform::SetScreenSize(1280, 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(work.left, 0);
  EXPECT_EQ(work.right, 1280);
  EXPECT_EQ(work.bottom, 1024);
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, nullptr, 0));
  EXPECT_FALSE(SystemParametersInfoW(0x1234, 0, &work, 0));
}

TEST_F(DisplayMetricsTest, TaskBarIsTheStripOutsideTheWorkArea) {
  vqplatform::SetScreenSize(1000, 800);
  APPBARDATA bar{};
  bar.cbSize = sizeof(bar);
  EXPECT_EQ(SHAppBarMessage(ABM_GETSTATE, &bar), static_cast<UINT_PTR>(ABS_ALWAYSONTOP));

  // No panel: a strip of height 0 at the bottom.
  ASSERT_TRUE(SHAppBarMessage(ABM_GETTASKBARPOS, &bar));
  EXPECT_EQ(bar.uEdge, static_cast<UINT>(ABE_BOTTOM));
  EXPECT_EQ(bar.rc.top, 800);
  EXPECT_EQ(bar.rc.bottom, 800);

  vqplatform::SetWorkArea(RECT{48, 0, 1000, 800});
  ASSERT_TRUE(SHAppBarMessage(ABM_GETTASKBARPOS, &bar));
  EXPECT_EQ(bar.uEdge, static_cast<UINT>(ABE_LEFT));
  EXPECT_EQ(bar.rc.right - bar.rc.left, 48);
  EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN), 952);

  vqplatform::SetWorkArea(RECT{0, 30, 1000, 800});
  ASSERT_TRUE(SHAppBarMessage(ABM_GETTASKBARPOS, &bar));
  EXPECT_EQ(bar.uEdge, static_cast<UINT>(ABE_TOP));
  EXPECT_EQ(bar.rc.bottom, 30);

  // A work area larger than the screen is cut to it.
  vqplatform::SetWorkArea(RECT{-10, -10, 5000, 5000});
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(work.left, 0);
  EXPECT_EQ(work.right, 1000);
  EXPECT_EQ(SHAppBarMessage(0x99, &bar), 0u);
}

}  // namespace

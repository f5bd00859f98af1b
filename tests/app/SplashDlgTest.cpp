#include <gtest/gtest.h>

#include "app/BrandingData.h"
#include "app/BrandingDataWriter.h"
#include "app/SplashDlg.h"
#include "platform/win/Encoding.h"
#include "platform/win/GdiSurface.h"
#include "tests/support/TestEnv.h"

namespace {

BrandingPicture Gradient(int width, int height) {
  BrandingPicture p;
  p.width = width;
  p.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      p.bgr.push_back(static_cast<uint8_t>(x));
      p.bgr.push_back(static_cast<uint8_t>(y));
      p.bgr.push_back(static_cast<uint8_t>((x + y) / 2));
    }
  return p;
}

// Loads branding data with the given splash through the real file format.
void LoadBranding(CBrandingData& branding, const BrandingPicture& splash) {
  BrandingContent content;
  content.logo = Gradient(5, 3);
  content.splash = splash;
  content.cameraList = "1A2B3C4D5E6F7A8B;";
  ASSERT_EQ(branding.Parse(EncodeBrandingData(content)), 0);
}

class SplashDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = vqplatform::GetScreenSize();
    vqplatform::SetScreenSize(1280, 1024);
  }
  void TearDown() override { vqplatform::SetScreenSize(saved_.cx, saved_.cy); }
  SIZE saved_{};
};

TEST_F(SplashDlgTest, CentresThePictureOnTheScreenAndDrawsItAtItsSize) {
  CBrandingData branding;
  LoadBranding(branding, Gradient(301, 201));
  CSplashDlg splash(nullptr, branding);
  ASSERT_TRUE(splash.Create(CSplashDlg::IDD, nullptr));
  RECT r{};
  ::GetWindowRect(splash.GetSafeHwnd(), &r);
  // Halves truncated: (1280 - 301) / 2 = 489, (1024 - 201) / 2 = 411.
  EXPECT_EQ(r.left, 489);
  EXPECT_EQ(r.top, 411);
  EXPECT_EQ(r.right - r.left, 301);
  EXPECT_EQ(r.bottom - r.top, 201);

  splash.ShowWindow(SW_SHOW);
  splash.UpdateWindow();
  std::string png = vqtest::TempPath("splash.png").string();
  ASSERT_TRUE(vqplatform::SaveWindowAsPng(splash.GetSafeHwnd(), png));
  CImage shown;
  ASSERT_EQ(shown.Load(vq::Utf8ToWide(png).c_str()), S_OK);
  ASSERT_EQ(shown.GetWidth(), 301);
  ASSERT_EQ(shown.GetHeight(), 201);
  for (int y = 0; y < 201; y += 25)
    for (int x = 0; x < 301; x += 30) {
      COLORREF c = shown.GetPixel(x, y);
      ASSERT_EQ(GetRValue(c), (x + y) / 2 % 256) << x << "," << y;
      ASSERT_EQ(GetGValue(c), y % 256) << x << "," << y;
      ASSERT_EQ(GetBValue(c), x % 256) << x << "," << y;
    }
  // The window keeps its own copy: the branding picture may go.
  branding.splashImage.Destroy();
  EXPECT_EQ(splash.Picture().GetWidth(), 301);
  splash.DestroyWindow();
}

TEST_F(SplashDlgTest, PictureLargerThanTheScreenStartsAboveAndLeftOfIt) {
  CBrandingData branding;
  LoadBranding(branding, Gradient(1301, 11));
  CSplashDlg splash(nullptr, branding);
  ASSERT_TRUE(splash.Create(CSplashDlg::IDD, nullptr));
  RECT r{};
  ::GetWindowRect(splash.GetSafeHwnd(), &r);
  EXPECT_EQ(r.left, -10);  // (1280 - 1301) / 2 truncated toward zero
  EXPECT_EQ(r.top, 506);
  splash.DestroyWindow();
}

TEST_F(SplashDlgTest, WithoutPictureTheWindowIsEmptyAndDrawsNothing) {
  CBrandingData branding;
  LoadBranding(branding, BrandingPicture{});
  ASSERT_TRUE(branding.splashImage.IsNull());
  CSplashDlg splash(nullptr, branding);
  ASSERT_TRUE(splash.Create(CSplashDlg::IDD, nullptr));
  EXPECT_TRUE(splash.Picture().IsNull());
  RECT r{};
  ::GetWindowRect(splash.GetSafeHwnd(), &r);
  EXPECT_EQ(r.right - r.left, 0);
  EXPECT_EQ(r.left, 640);
  splash.ShowWindow(SW_SHOW);
  splash.UpdateWindow();
  splash.DestroyWindow();
}

}  // namespace

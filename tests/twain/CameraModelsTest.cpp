// Largest frame sizes and scan resolutions of the known camera models.
#include <gtest/gtest.h>

#include <cmath>

#include "twain/CameraModels.h"

namespace {

class CameraModels : public ::testing::Test {
 protected:
  void SetUp() override { saved = CameraIdStrings::Get(); }
  void TearDown() override { CameraIdStrings::Get() = saved; }
  void Use(const wchar_t* vendor, const wchar_t* product) {
    CameraIdStrings::Get().mainVendor = vendor;
    CameraIdStrings::Get().mainProduct = product;
  }
  CameraIdStrings saved;
};

TEST_F(CameraModels, LargestSizePerModel) {
  struct Row {
    const wchar_t* vendor;
    const wchar_t* product;
    int width;
    int height;
  };
  const Row rows[] = {
      {L"2E1A", L"0101", 2592, 1944}, {L"2E1A", L"0104", 2592, 1944},
      {L"2E1A", L"0105", 3742, 2806}, {L"2E1B", L"0201", 3742, 2806},
      {L"2E1A", L"0106", 4000, 3000}, {L"2E1C", L"0301", 3840, 2748},
      {L"2E1A", L"0107", 3264, 2448},
  };
  for (const Row& row : rows) {
    Use(row.vendor, row.product);
    int width = 0, height = 0;
    ASSERT_TRUE(GetModelMaxResolution(&width, &height));
    EXPECT_EQ(width, row.width);
    EXPECT_EQ(height, row.height);
  }
  Use(L"2E1A", L"0201");
  int width = -1, height = -1;
  EXPECT_FALSE(GetModelMaxResolution(&width, &height));
  EXPECT_EQ(width, -1);
  Use(L"2e1a", L"0101");
  EXPECT_FALSE(GetModelMaxResolution(&width, &height)) << "ids compare exactly";
}

TEST_F(CameraModels, ResolutionPerSizeInEitherOrientation) {
  float x = 0, y = 0;
  Use(L"2E1A", L"0102");
  ASSERT_TRUE(GetModelResolutionDpi(1944, 2592, &x, &y));
  EXPECT_FLOAT_EQ(x, 213.9f);
  EXPECT_FLOAT_EQ(y, 213.9f);
  ASSERT_TRUE(GetModelResolutionDpi(1280, 1024, &x, &y));
  EXPECT_FLOAT_EQ(x, 109.22f);
  x = y = -1;
  EXPECT_FALSE(GetModelResolutionDpi(1024, 768, &x, &y));
  EXPECT_EQ(x, -1);

  for (const wchar_t* product : {L"0105", L"0106", L"0107"}) {
    Use(L"2E1A", product);
    ASSERT_TRUE(GetModelResolutionDpi(1024, 768, &x, &y));
    EXPECT_FLOAT_EQ(x, 85.401535f);
    ASSERT_TRUE(GetModelResolutionDpi(3000, 4000, &x, &y));
    EXPECT_FLOAT_EQ(x, static_cast<float>(270.651642 * std::sqrt(1.5)));
    EXPECT_NEAR(x, 331.47922, 1e-4);
    ASSERT_TRUE(GetModelResolutionDpi(3742, 2806, &x, &y));
    EXPECT_NEAR(x, 302.59775, 1e-4);
    ASSERT_TRUE(GetModelResolutionDpi(800, 600, &x, &y));
    EXPECT_FLOAT_EQ(y, 66.885384f);
    EXPECT_FALSE(GetModelResolutionDpi(640, 480, &x, &y));
  }

  Use(L"2E1C", L"0301");
  EXPECT_FALSE(GetModelResolutionDpi(2592, 1944, &x, &y)) << "model D has no dpi table";
  Use(L"FFFF", L"FFFF");
  EXPECT_FALSE(GetModelResolutionDpi(2592, 1944, &x, &y));
}

TEST_F(CameraModels, AnAttachedModelIsChosenWhenTheConfiguredOneIsAbsent) {
  std::wstring attached = L"2E1A/0107";
  auto count = [&](const wchar_t* vendor, const wchar_t* product) {
    return attached == std::wstring(vendor) + L"/" + product ? 1 : 0;
  };
  EXPECT_TRUE(SelectAttachedModel(count));
  EXPECT_EQ(CameraIdStrings::Get().mainProduct, L"0107");
  int width = 0, height = 0;
  ASSERT_TRUE(GetModelMaxResolution(&width, &height));
  EXPECT_EQ(width, 3264) << "model E";
  // The virtual pair, spelt as Vorquell's data file lists it (device paths
  // match without regard to case), with its portrait camera.
  attached = L"1d6b/0102";
  EXPECT_TRUE(SelectAttachedModel(count));
  EXPECT_EQ(CameraIdStrings::Get().mainVendor, L"1D6B") << "upper case, as in device paths";
  EXPECT_EQ(CameraIdStrings::Get().secondaryProduct, L"0103");
  EXPECT_FALSE(GetModelMaxResolution(&width, &height)) << "no model";
  attached = L"1234/5678";
  EXPECT_FALSE(SelectAttachedModel(count));
  EXPECT_EQ(CameraIdStrings::Get().mainProduct, L"0102") << "kept when nothing known is attached";
}

}  // namespace

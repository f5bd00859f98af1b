#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

#include "app/BrandingData.h"
#include "app/BrandingDataWriter.h"
#include "base/PathEncoding.h"
#include "tests/platform/PrintCString.h"
#include "tests/support/TestEnv.h"

namespace {

BrandingPicture Picture(int w, int h, int salt) {
  BrandingPicture p{w, h, {}};
  for (int i = 0; i < 3 * w * h; ++i) p.bgr.push_back(static_cast<uint8_t>(i * 7 + salt));
  return p;
}

BrandingContent FullContent() {
  BrandingContent c;
  c.logo = Picture(5, 3, 1);
  c.link = "https://example.org/vorquell";
  c.splash = Picture(7, 4, 9);
  c.cameraList = "1D6B01021D6B0103;AAAA1111BBBB2222;";
  c.showLabel = false;
  c.reserved = "ignored";
  c.title = "Vorquell \xE4\xB8\xAD\xE6\x96\x87";
  c.label = "Place the document under the camera";
  return c;
}

void ExpectPicture(const CImage& img, const BrandingPicture& p) {
  ASSERT_EQ(img.GetWidth(), p.width);
  ASSERT_EQ(img.GetHeight(), p.height);
  EXPECT_EQ(img.GetBPP(), 24);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const uint8_t* px = &p.bgr[3 * (y * p.width + x)];
      EXPECT_EQ(img.GetPixel(x, y), RGB(px[2], px[1], px[0])) << x << "," << y;
    }
}

std::string Int32(uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

TEST(CBrandingData, AFileFromTheEncoderLoadsFieldForField) {
  auto path = vqtest::TempPath("program/data.dat");
  BrandingContent content = FullContent();
  ASSERT_TRUE(WriteBrandingDataFile(path.string(), EncodeBrandingData(content, 77)));
  CBrandingData data;
  ASSERT_EQ(data.Load(vq::FromFsPath(path).c_str()), 0);
  ExpectPicture(data.logoImage, content.logo);
  ExpectPicture(data.splashImage, content.splash);
  EXPECT_EQ(data.linkTarget, L"https://example.org/vorquell");
  ASSERT_EQ(data.cameraList.size(), 2u);
  EXPECT_EQ(data.cameraList[0], L"1D6B01021D6B0103");
  EXPECT_EQ(data.cameraList[1], L"AAAA1111BBBB2222");
  EXPECT_EQ(data.showLabel, 0);
  EXPECT_EQ(data.windowTitle, L"Vorquell \u4E2D\u6587");
  EXPECT_EQ(data.labelText, L"Place the document under the camera");
  EXPECT_TRUE(data.selectedCameraIds.empty());
}

TEST(CBrandingData, HandWrittenBytesWithPaddingAndWrappingDifferences) {
  // Logo 5 x 1: 15 pixel bytes and one padding byte per row.
  std::string file = Int32(1) + Int32(5);
  for (int i = 0; i < 15; ++i) file.push_back(static_cast<char>(10 + i));
  file.push_back('\xEE');
  file += Int32(0);  // no link
  file += Int32(0);  // no splash
  // Camera list "A;": B - A wraps around the 32-bit range.
  file += Int32(2) + Int32(0x7FFFFFFF) + Int32(5) + Int32(0x80000040) + Int32(5 + ';' + 0x300);
  EXPECT_EQ(file.size(), 52u);
  CBrandingData data;
  ASSERT_EQ(data.Parse(file), 0);
  EXPECT_EQ(data.logoImage.GetPixel(0, 0), RGB(12, 11, 10));
  EXPECT_EQ(data.logoImage.GetPixel(4, 0), RGB(24, 23, 22));
  EXPECT_TRUE(data.splashImage.IsNull());
  EXPECT_TRUE(data.linkTarget.IsEmpty());
  ASSERT_EQ(data.cameraList.size(), 1u);
  EXPECT_EQ(data.cameraList[0], L"A");
  EXPECT_EQ(data.showLabel, 1);  // the file ended after the camera list
  EXPECT_TRUE(data.windowTitle.IsEmpty());
}

TEST(CBrandingData, CameraListPieces) {
  auto split = [](const wchar_t* text) { return SplitCameraList(text); };
  EXPECT_EQ(split(L"A;B;C;").size(), 3u);
  auto three = split(L"A;;B");
  ASSERT_EQ(three.size(), 3u);
  EXPECT_TRUE(three[1].IsEmpty());
  EXPECT_TRUE(split(L"").empty());
  EXPECT_EQ(split(L";").size(), 1u);
  EXPECT_EQ(split(L"A").size(), 1u);
}

TEST(CBrandingData, LabelSwitchAndShortFiles) {
  BrandingContent c = FullContent();
  c.splash = BrandingPicture{};
  c.ending = BrandingContent::Ending::AfterLabelSwitch;
  c.showLabel = true;
  CBrandingData shown;
  ASSERT_EQ(shown.Parse(EncodeBrandingData(c)), 0);
  EXPECT_EQ(shown.showLabel, 1);
  EXPECT_TRUE(shown.splashImage.IsNull());
  EXPECT_EQ(shown.cameraList.size(), 2u);
  EXPECT_TRUE(shown.windowTitle.IsEmpty());
  std::string hidden = EncodeBrandingData(c);
  hidden[hidden.size() - 4] = 1;  // bytes 1 and 1
  CBrandingData data;
  ASSERT_EQ(data.Parse(hidden), 0);
  EXPECT_EQ(data.showLabel, 0);
}

TEST(CBrandingData, EveryTruncationInsideAFieldIsRejected) {
  BrandingContent c = FullContent();
  uint32_t seed = 5;
  std::string full = EncodeBrandingData(c, seed);
  // Where the file may end: after the camera list, the label switch, the
  // reserved record, the title, the label.
  BrandingContent shortest = c;
  shortest.ending = BrandingContent::Ending::AfterCameraList;
  size_t afterList = EncodeBrandingData(shortest, seed).size();
  uint32_t s2 = 0;
  size_t afterReserved = afterList + 4 + EncodeScrambledString(c.reserved, s2).size();
  size_t afterTitle = afterReserved + EncodeScrambledString(c.title, s2).size();
  std::vector<size_t> validEnds = {afterList, afterList + 4, afterReserved, afterTitle, full.size()};
  for (size_t n = 0; n <= full.size(); ++n) {
    CBrandingData data;
    data.windowTitle = L"before";
    int rc = data.Parse(std::string_view(full).substr(0, n));
    bool valid = std::find(validEnds.begin(), validEnds.end(), n) != validEnds.end();
    ASSERT_EQ(rc, valid ? 0 : -1) << "length " << n;
    if (!valid) {
      EXPECT_TRUE(data.logoImage.IsNull());
      EXPECT_EQ(data.windowTitle, L"before");
    }
  }
  CBrandingData upToTitle;
  ASSERT_EQ(upToTitle.Parse(std::string_view(full).substr(0, afterTitle)), 0);
  EXPECT_EQ(upToTitle.windowTitle, L"Vorquell \u4E2D\u6587");
  EXPECT_TRUE(upToTitle.labelText.IsEmpty());
}

TEST(CBrandingData, OversizedAndNegativeLengthsAreRejected) {
  std::string tail = Int32(0) + Int32(0) + Int32(0);  // link, no splash, empty list
  CBrandingData data;
  EXPECT_EQ(data.Parse(Int32(0) + Int32(0) + tail), 0);
  EXPECT_EQ(data.Parse(Int32(static_cast<uint32_t>(-1)) + Int32(1) + tail), -1);
  EXPECT_EQ(data.Parse(Int32(1) + Int32(static_cast<uint32_t>(-3)) + tail), -1);
  EXPECT_EQ(data.Parse(Int32(0x7FFFFFFF) + Int32(0x7FFFFFFF) + tail), -1);
  EXPECT_EQ(data.Parse(Int32(0) + Int32(0) + Int32(0x7FFFFFFF) + Int32(0) + Int32(0)), -1);
  EXPECT_EQ(data.Parse(Int32(0) + Int32(0) + Int32(0x80000000u) + Int32(0) + Int32(0)), -1);
  EXPECT_EQ(data.Parse(Int32(0) + Int32(0) + Int32(0) + Int32(static_cast<uint32_t>(-2))), -1);
  EXPECT_EQ(data.Parse(Int32(0) + Int32(0) + Int32(0) + Int32(70000) + Int32(1)), -1);

  BrandingContent c = FullContent();
  c.title = std::string(256, 't');
  EXPECT_EQ(data.Parse(EncodeBrandingData(c)), -1);
  c.title = std::string(255, 't');
  c.label = std::string(256, 'l');
  EXPECT_EQ(data.Parse(EncodeBrandingData(c)), -1);
  c.label = std::string(255, 'l');
  EXPECT_EQ(data.Parse(EncodeBrandingData(c)), 0);
  EXPECT_EQ(data.labelText.GetLength(), 255);
}

TEST(CBrandingData, RandomBytesNeverReadPastTheEnd) {
  std::mt19937 rng(12345);
  int accepted = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string bytes(rng() % 64, '\0');
    for (char& b : bytes) b = static_cast<char>(rng() % 4 == 0 ? rng() : rng() % 3);
    CBrandingData data;
    accepted += data.Parse(bytes) == 0;
  }
  EXPECT_LT(accepted, 3000);
}

TEST(CBrandingData, MissingFileOrPath) {
  CBrandingData data;
  EXPECT_EQ(data.Load(nullptr), -1);
  EXPECT_EQ(data.Load(L""), -1);
  EXPECT_EQ(data.Load(vq::FromFsPath(vqtest::TempPath("program/data.dat")).c_str()), -1);
  EXPECT_EQ(data.Load(vq::FromFsPath(vqtest::TempPath("program")).c_str()), -1);  // a folder
  EXPECT_EQ(data.showLabel, 1);
}

}  // namespace

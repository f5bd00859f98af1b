// The settings file of the camera window, written and read back.
#include <gtest/gtest.h>

#include "base/PathEncoding.h"
#include "platform/win/Clock.h"
#include "tests/support/TestEnv.h"
#include "twain/TwainSettings.h"

namespace {

std::wstring Wide(const std::filesystem::path& path) { return vq::FromFsPath(path); }

TEST(TwainSettings, LivesInThePerMachineFolderPerProduct) {
  CString path = CTwainSettings::DefaultPath(L"0101");
  std::filesystem::path expected =
      std::filesystem::path(std::getenv("VQ_COMMON_APPDATA")) / "Ombrecht Software" /
      "TwainPara0101.ini";
  EXPECT_EQ(path.ToUtf8(), expected.string());
}

TEST(TwainSettings, MissingFileIsCreatedAndFilledWithDefaults) {
  std::filesystem::path file = vqtest::TempPath("TwainPara0101.ini");
  CTwainSettings settings;
  ASSERT_TRUE(settings.Open(Wide(file).c_str()));
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_TRUE(settings.Load());
  EXPECT_EQ(settings.XDPI, 200);
  EXPECT_EQ(settings.JPGQuality, 25);
  EXPECT_TRUE(settings.AutoExposure);
  EXPECT_EQ(settings.Exposure, -3);
  EXPECT_EQ(settings.ResolutionWidth, -1);
  EXPECT_EQ(settings.PIXELTYPE, -1);
  EXPECT_EQ(settings.RotateAngle, 270);
  EXPECT_TRUE(settings.MULTIPLE);
  EXPECT_FALSE(settings.MULTICUT);
  EXPECT_EQ(settings.crop.left, -1);
  EXPECT_EQ(settings.Color, 255);
  EXPECT_EQ(settings.Size, 72);
  EXPECT_EQ(settings.Transparency, 50);
  EXPECT_FALSE(settings.TwoImagesInOne);
  std::string text = vqtest::ReadFile(file);
  for (const char* key : {"XDPI=200", "JPGQuality=25", "AutoExposure=true", "RotateAngle=270",
                          "CutBottom=-1", "TimeMark=FALSE", "C2Angle=0.000000", "2IMAGEIN1=FALSE"})
    EXPECT_NE(text.find(key), std::string::npos) << key;
}

TEST(TwainSettings, OneKeyGivesTheRestTheirDefaultsAndAllKeysAfterwards) {
  std::filesystem::path file = vqtest::TempPath("one.ini");
  ASSERT_TRUE(vqtest::WriteFile(file, "[Camera]\nRotateAngle=90\n"));
  CTwainSettings settings;
  ASSERT_TRUE(settings.Open(Wide(file).c_str()));
  settings.Load();
  EXPECT_EQ(settings.RotateAngle, 90);
  EXPECT_EQ(settings.YDPI, 200);
  std::string text = vqtest::ReadFile(file);
  int keys = 0;
  for (size_t at = 0; (at = text.find('=', at)) != std::string::npos; ++at) ++keys;
  EXPECT_EQ(keys, 32);
}

TEST(TwainSettings, ValuesAreReadByTheirOwnRules) {
  std::filesystem::path file = vqtest::TempPath("rules.ini");
  ASSERT_TRUE(vqtest::WriteFile(file,
                                "[IMAGE]\nMULTICUT=\nMULTIPLE=\nXDPI=  +300dpi\n2IMAGEIN1=True\n"
                                "[Camera]\nAutoExposure=TRUE\n"
                                "[WaterMark]\nColor=g65280\nSize=-12\nTimeMark=TRUE\n"
                                "TextMark=true\nC1Angle=12.5\nContent=Draft 1\n"));
  CTwainSettings settings;
  ASSERT_TRUE(settings.Open(Wide(file).c_str()));
  settings.Load();
  EXPECT_FALSE(settings.MULTICUT);
  EXPECT_TRUE(settings.MULTIPLE);
  EXPECT_EQ(settings.XDPI, 300);
  EXPECT_FALSE(settings.TwoImagesInOne) << "only TRUE counts";
  EXPECT_FALSE(settings.AutoExposure) << "only true counts";
  EXPECT_EQ(settings.Color, 0);
  EXPECT_EQ(settings.Size, 1) << "brought into range";
  EXPECT_TRUE(settings.TimeMark);
  EXPECT_FALSE(settings.TextMark);
  EXPECT_FLOAT_EQ(settings.C1Angle, 12.5f);
  EXPECT_EQ(settings.Content, L"Draft 1");
  EXPECT_NE(vqtest::ReadFile(file).find("C1Angle=12.500000"), std::string::npos);
}

TEST(TwainSettings, ValuesAreBroughtIntoTheirRangesAtTheirBounds) {
  std::filesystem::path file = vqtest::TempPath("ranges.ini");
  ASSERT_TRUE(vqtest::WriteFile(file,
                                "[IMAGE]\nXDPI=10001\nYDPI=10000\nJPGQuality=0\nNoiseSize=21\n"
                                "ResolutionWidth=16385\nResolutionHeight=16384\nPortraitResolutionWidth=-2\n"
                                "PortraitResolutionHeight=-1\nPIXELTYPE=3\nCUTPAGETYPE=-1\nCutTop=16385\n"
                                "[Camera]\nRotateAngle=-90\n"
                                "[WaterMark]\nTransparency=101\nSize=0\nColor=16777216\nC2POSY=-16385\n"
                                "C1Angle=-725.5\nC2Angle=inf\n"));
  CTwainSettings settings;
  ASSERT_TRUE(settings.Open(Wide(file).c_str()));
  settings.Load();
  EXPECT_EQ(settings.FirstValueOutOfRange(), "");
  EXPECT_EQ(std::make_pair(settings.XDPI, settings.YDPI), std::make_pair(200, 10000));
  EXPECT_EQ(std::make_pair(settings.JPGQuality, settings.NoiseSize), std::make_pair(1, 20));
  EXPECT_EQ(std::make_pair(settings.ResolutionWidth, settings.ResolutionHeight), std::make_pair(-1, 16384));
  EXPECT_EQ(std::make_pair(settings.PortraitResolutionWidth, settings.PortraitResolutionHeight),
            std::make_pair(-1, -1));
  EXPECT_EQ(std::make_pair(settings.PIXELTYPE, settings.CUTPAGETYPE), std::make_pair(-1, 0));
  EXPECT_EQ(settings.crop.top, 16384);
  EXPECT_EQ(settings.RotateAngle, 270);
  EXPECT_EQ(std::make_pair(settings.Transparency, settings.Size), std::make_pair(100, 1));
  EXPECT_EQ(settings.Color, 255);
  EXPECT_EQ(settings.C2POSY, -16384);
  EXPECT_FLOAT_EQ(settings.C1Angle, -5.5f);
  EXPECT_EQ(settings.C2Angle, 0.0f);
  // The file holds the values in range, so the next load reads them as they are.
  CTwainSettings again;
  ASSERT_TRUE(again.Open(Wide(file).c_str()));
  again.Load();
  EXPECT_EQ(again.XDPI, 200);
  EXPECT_FLOAT_EQ(again.C1Angle, -5.5f);
  // A value set out of range afterwards is named.
  again.Transparency = -1;
  EXPECT_EQ(again.FirstValueOutOfRange(), "Transparency=-1");
}

TEST(TwainSettings, SavedValuesReadBackInACopy) {
  std::filesystem::path file = vqtest::TempPath("round.ini");
  CTwainSettings settings;
  ASSERT_TRUE(settings.Open(Wide(file).c_str()));
  settings.Load();
  settings.XDPI = 301;
  settings.PortraitResolutionWidth = 320;
  settings.crop = RECT{1, 2, 3, 4};
  settings.MULTICUT = true;
  settings.Color = 65280;
  settings.Content = L"\u6837\u672c";
  settings.C2Angle = -3.25f;
  settings.TwoImagesInOne = TRUE;
  ASSERT_TRUE(settings.Save());
  CTwainSettings copy = settings;
  CTwainSettings reread;
  ASSERT_TRUE(reread.Open(copy.ini.GetPath()));
  reread.Load();
  EXPECT_EQ(reread.XDPI, 301);
  EXPECT_EQ(reread.PortraitResolutionWidth, 320);
  EXPECT_EQ(reread.crop.bottom, 4);
  EXPECT_TRUE(reread.MULTICUT);
  EXPECT_EQ(reread.Color, 65280);
  EXPECT_EQ(reread.Content, L"\u6837\u672c");
  EXPECT_FLOAT_EQ(reread.C2Angle, -3.25f);
  EXPECT_TRUE(reread.TwoImagesInOne);
}

TEST(TwainSettings, AFileThatCannotBeMadeIsRefused) {
  std::filesystem::path blocker = vqtest::TempPath("blocker");
  ASSERT_TRUE(vqtest::WriteFile(blocker, "a file, not a folder"));
  CTwainSettings settings;
  EXPECT_FALSE(settings.Open(Wide(blocker / "TwainPara0101.ini").c_str()));
  EXPECT_FALSE(settings.Save());
}

TEST(TwainSettings, WatermarkTextPrefersTheTime) {
  CTwainSettings settings;
  EXPECT_EQ(settings.GetWatermarkText(), L"");
  settings.TextMark = TRUE;
  settings.Content = L"Copy";
  EXPECT_EQ(settings.GetWatermarkText(), L"Copy");
  SYSTEMTIME when{};
  when.wYear = 2026;
  when.wMonth = 3;
  when.wDay = 4;
  when.wHour = 5;
  when.wMinute = 6;
  when.wSecond = 7;
  vqplatform::ManualClockScope clock(when);
  settings.TimeMark = TRUE;
  EXPECT_EQ(settings.GetWatermarkText(), L"2026/03/04-05:06:07");
}

}  // namespace

namespace {

// Loads the file twice; the second load must find what the first saved.
void ExpectStableContent(const std::string& bytes) {
  std::filesystem::path file = vqtest::TempPath("设置/TwainPara0101.ini");
  std::filesystem::create_directories(file.parent_path());
  ASSERT_TRUE(vqtest::WriteFile(file, bytes));
  CTwainSettings first, second;
  ASSERT_TRUE(first.Open(Wide(file).c_str()));
  first.Load();
  ASSERT_TRUE(second.Open(Wide(file).c_str()));
  second.Load();
  EXPECT_EQ(first.Content, second.Content) << vqtest::ReadFile(file);
  EXPECT_EQ(first.Content.GetLength(), second.Content.GetLength());
}

}  // namespace

TEST(TwainSettings, ATextWithControlCharactersOrQuotesLoadsAgainAsSaved) {
  ExpectStableContent("[WaterMark]\r\nContent=a\x01\x02\tb\r\n");
  ExpectStableContent("[WaterMark]\r\nContent=\"quoted\" \r\nContent=second\r\n");
  ExpectStableContent("[WaterMark]\r\nContent=\"\r\n");
}

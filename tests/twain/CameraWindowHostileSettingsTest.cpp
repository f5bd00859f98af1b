// The camera window opened on a settings file with values far out of their
// ranges (edited by hand, copied from elsewhere, damaged): it opens on the
// model's size, captures with a watermark of a usable size, and saves the
// values in range.
#include <filesystem>

#include "platform/win/Encoding.h"
#include "platform/win/KnownFolders.h"
#include "tests/support/TestEnv.h"
#include "tests/twain/CameraWindowFixture.h"

namespace twaintest {
namespace {

std::filesystem::path SettingsFile() {
  return std::filesystem::path(vq::WideToUtf8(vq::MachineDataFolder())) / "TwainPara0101.ini";
}

TEST_F(CameraWindow, ValuesOutOfRangeAreBroughtIntoRangeBeforeTheWindowUsesThem) {
  Settings("");
  ASSERT_TRUE(vqtest::WriteFile(SettingsFile(), "[IMAGE]\nResolutionWidth=2147483647\nResolutionHeight=-7\nCUTPAGETYPE=9\nPIXELTYPE=99\n"
           "CutLeft=-2147483648\nCutRight=2147483647\nNoiseSize=0\nJPGQuality=1000\nXDPI=-300\n"
           "[Camera]\nRotateAngle=45\nExposure=-2147483648\n"
           "[WaterMark]\nTextMark=TRUE\nContent=Draft\nSize=2147483647\nTransparency=-100\nColor=-1\n"
           "C1POSX=99999999\nC1Angle=nan\nC2Angle=1e30\n"));
  MakeSource(5);
  const CTwainSettings& settings = Window().Settings();
  EXPECT_EQ(settings.FirstValueOutOfRange(), "");
  EXPECT_EQ(std::make_pair(settings.ResolutionWidth, settings.ResolutionHeight), std::make_pair(2592, 1944))
      << "the model's largest size";
  EXPECT_EQ(settings.CUTPAGETYPE, 0);
  EXPECT_EQ(settings.RotateAngle, 270);
  EXPECT_EQ(Window().MainRotation(), 270);
  EXPECT_EQ(settings.Size, 1000);
  EXPECT_EQ(settings.Transparency, 0);
  EXPECT_EQ(settings.Color, 255);
  EXPECT_EQ(settings.C1Angle, 0.0f);

  ASSERT_TRUE(Pump([&] { return !Window().MainController()->GetFrame().empty(); }));
  Click(6000);
  ASSERT_EQ(Window().Pages().size(), 1u);
  EXPECT_EQ(Window().Pages()[0].size(), cv::Size(1944, 2592)) << "the model size, turned by 270";

  // Closing saves what the window used.
  ds.reset();
  const std::string text = vqtest::ReadFile(SettingsFile());
  for (const char* line : {"ResolutionWidth=2592", "Size=1000", "CutLeft=-16384", "CutRight=16384", "Exposure=-1000000",
                           "C1Angle=0.000000"})
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
  EXPECT_EQ(text.find("2147483647"), std::string::npos);
}

}  // namespace
}  // namespace twaintest

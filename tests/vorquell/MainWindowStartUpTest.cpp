// Start-up of the main window: the ways it quits (no camera, no data file),
// where Sys.ini goes, and which camera pair it chooses.
#include <filesystem>

#include "app/SettingsLocation.h"
#include "platform/win/MessageBox.h"
#include "tests/support/TestEnv.h"
#include "tests/vorquell/MainWindowFixture.h"

namespace {

using vqtest::CountIniKeys;
using vqtest::ReadFile;
using vqtest::TempDir;

class MainWindowStartUp : public vqtest::MainWindowTest {};

TEST_F(MainWindowStartUp, WithoutCameraTheMessageShowsAndTheProgramEndsWithItsSettings) {
  WriteDataFile("5651d0c05651d0c1;");
  vqtest::OpenMainWindow window(nullptr, &branding_);
  EXPECT_EQ(window.DoModal(), -1) << "the quit request ends the modal loop";
  EXPECT_TRUE(TakeQuitRequest());
  const auto boxes = vqplatform::MessageBoxLog();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"没有找到高拍仪设备，请检查高拍仪设备是否连接正确");
  EXPECT_EQ(boxes[0].caption, L"");
  EXPECT_EQ(boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
  EXPECT_EQ(CountIniKeys(ReadFile(TempDir() / "program" / "Sys.ini")), 49);
}

TEST_F(MainWindowStartUp, WithoutDataFileItEndsSilentlyAndAnUnwritableProgramFolderSendsSysIniHome) {
  Plug(L"5651", L"d0c0");
  // A program folder below a file cannot be written (nor does it hold data.dat).
  ASSERT_TRUE(vqtest::WriteFile(TempDir() / "file", "x"));
  setenv("VQ_PROGRAM_DIR", (TempDir() / "file" / "program").c_str(), 1);
  vqtest::OpenMainWindow window(nullptr, &branding_);
  window.DoModal();
  EXPECT_TRUE(TakeQuitRequest());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(CountIniKeys(ReadFile(TempDir() / "home" / ".config" / "Vorquell" / "Sys.ini")), 49);
}

TEST_F(MainWindowStartUp, SettingsFileIsReadFromTheConfigurationFolderFirst) {
  const CString program((TempDir() / "program").c_str());
  EXPECT_EQ(SettingsFilePath(program), program + L"/Sys.ini");
  EXPECT_EQ(SettingsFilePath(program, [](const CString&) { return false; }),
            CString((TempDir() / "home" / ".config" / "Vorquell" / "Sys.ini").c_str()));
  setenv("XDG_CONFIG_HOME", (TempDir() / "config").c_str(), 1);
  std::filesystem::create_directories(TempDir() / "config" / "Vorquell");
  ASSERT_TRUE(vqtest::WriteFile(TempDir() / "config" / "Vorquell" / "Sys.ini", "[IMAGE]\n"));
  EXPECT_EQ(SettingsFilePath(program), CString((TempDir() / "config" / "Vorquell" / "Sys.ini").c_str()));
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(MainWindowStartUp, TheFirstAttachedPairInFileOrderWins) {
  Plug(L"5651", L"d0c0");
  Plug(L"5651", L"d0c1");
  Plug(L"5651", L"d0c2");
  WriteDataFile("aaaa0001aaaa0002;5651d0c15651d0c2;5651d0c05651d0c1;");
  vqtest::OpenMainWindow& window = Start();
  EXPECT_EQ(branding_.selectedCameraIds, (std::vector<CString>{L"d0c2", L"5651", L"d0c1", L"5651"}));
  EXPECT_EQ(window.settings_.docVendorId, L"5651");
  EXPECT_EQ(window.settings_.docProductId, L"D0C1") << "the document ids are kept in upper case";
  EXPECT_EQ(window.settings_.portraitProductId, L"d0c2");
  ASSERT_NE(window.DocumentController(), nullptr);
  ASSERT_NE(window.PortraitController(), nullptr);
  EXPECT_EQ(window.ShownCamera(), 0);
  // No size configured: the portrait camera asks for 640 x 480; neither camera
  // is a known model, so the document camera takes its first size.
  int width = 0, height = 0;
  window.PortraitController()->GetResolution(&width, &height);
  EXPECT_EQ(cv::Size(width, height), cv::Size(640, 480));
  EXPECT_EQ(window.settings_.cameraModel, -1);
  // The preview sits in the preview area of the client, one pixel inside.
  RECT area{}, preview{};
  ::GetWindowRect(window.GetDlgItem(IDC_PREVIEW_AREA)->GetSafeHwnd(), &area);
  ::GetWindowRect(window.DocumentController()->Preview()->GetHwnd(), &preview);
  EXPECT_EQ(preview.left, area.left + 1);
  EXPECT_EQ(preview.top, area.top + 1);
  EXPECT_EQ(preview.right, area.right - 1);
  EXPECT_EQ(preview.bottom, area.bottom - 1);
  EXPECT_TRUE(vqtest::Pump([&] { return !window.DocumentController()->GetFrame().empty(); }));
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace

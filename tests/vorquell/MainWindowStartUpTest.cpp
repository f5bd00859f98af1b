// Start-up of the main window: the silent end without data file, where
// Sys.ini goes and what is told about it, and which camera pair it chooses.
#include <filesystem>

#include "app/SettingsLocation.h"
#include "base/PathEncoding.h"
#include "tests/support/TestEnv.h"
#include "tests/vorquell/MainWindowFixture.h"

namespace {

using vqtest::TempDir;

class MainWindowStartUp : public vqtest::MainWindowTest {};

TEST_F(MainWindowStartUp, WithoutDataFileItEndsSilentlyAndAnUnwritableProgramFolderSendsSysIniHome) {
  Plug(L"5651", L"d0c0");
  // A program folder below a file cannot be written (nor does it hold data.dat).
  ASSERT_TRUE(vqtest::WriteFile(TempDir() / "file", "x"));
  setenv("VQ_PROGRAM_DIR", (TempDir() / "file" / "program").c_str(), 1);
  vqtest::OpenMainWindow window(nullptr, &branding_);
  window.DoModal();
  EXPECT_TRUE(TakeQuitRequest());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(SettingsKeys(TempDir() / "home" / ".config" / "Vorquell" / "Sys.ini"), 49);
}

// A Sys.ini that is a folder is reported at the first start, the settings
// are kept in the configuration folder, and the next start reads them
// there without a word.
TEST_F(MainWindowStartUp, ASettingsFileThatIsAFolderIsReportedOnce) {
  boxes_.ExpectStarting(vq::FromFsPath(TempDir() / "program" / "Sys.ini") + L" 不能用作设置文件（不是普通文件）");
  Plug(L"5651", L"d0c0");
  WriteDataFile("5651d0c05651d0c1;");
  std::filesystem::create_directories(TempDir() / "program" / "Sys.ini");
  const auto configured = TempDir() / "home" / ".config" / "Vorquell" / "Sys.ini";
  Start().settings_.xDpi = 123;
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].find(L"（不是普通文件）"), std::wstring::npos);
  EXPECT_NE(Boxes()[0].find(vq::FromFsPath(TempDir() / "program" / "Sys.ini")), std::wstring::npos);
  window_->DestroyWindow();
  EXPECT_EQ(SettingsKeys(configured), 49);
  vqplatform::ClearMessageBoxLog();
  EXPECT_EQ(Start().settings_.xDpi, 123);
  EXPECT_TRUE(Boxes().empty());
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
  ASSERT_NE(window.PortraitController(), nullptr);
  EXPECT_EQ(window.settings_.porCamWidth, 640) << "an unset portrait size";
  // The preview sits in the preview area of the client, one pixel inside.
  RECT area{}, preview{};
  ::GetWindowRect(window.GetDlgItem(IDC_PREVIEW_AREA)->GetSafeHwnd(), &area);
  ::GetWindowRect(window.DocumentController()->Preview()->GetHwnd(), &preview);
  EXPECT_EQ(std::vector<LONG>({preview.left, preview.top, preview.right, preview.bottom}),
            std::vector<LONG>({area.left + 1, area.top + 1, area.right - 1, area.bottom - 1}));
  EXPECT_TRUE(Boxes().empty());
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/IniFile.h"
#include "tests/platform/PrintCString.h"
#include "tests/support/TestEnv.h"

namespace {

CString C(const std::filesystem::path& p) { return CString(p.c_str()); }

TEST(CIniFile, BindsOnlyToAnExistingFile) {
  CIniFile ini;
  EXPECT_TRUE(ini.GetPath().IsEmpty());
  EXPECT_FALSE(ini.SetPath(C(vqtest::TempPath("Sys.ini"))));
  EXPECT_TRUE(ini.GetPath().IsEmpty());
  EXPECT_EQ(ini.GetString(L"FILE", L"PREFIX"), L"");
  EXPECT_FALSE(ini.WriteString(L"FILE", L"PREFIX", L"X", true));  // not bound
  vqtest::WriteFile(vqtest::TempPath("Sys.ini"), "");
  EXPECT_TRUE(ini.SetPath(C(vqtest::TempPath("Sys.ini"))));
  EXPECT_FALSE(ini.SetPath(C(vqtest::TempPath("other.ini"))));
  EXPECT_EQ(ini.GetPath(), C(vqtest::TempPath("Sys.ini")));
  CIniFile copy(ini);
  EXPECT_EQ(copy.GetPath(), ini.GetPath());
}

// A folder path is read whole however deep (up to the system's path
// limit), never cut at 259 characters into another folder.
TEST(CIniFile, ReadsWholePathsUpToThePathLimitAndAbsentKeysAreEmpty) {
  auto path = vqtest::TempPath("Sys.ini");
  const std::string deep = "/home/用户/" + std::string(300, 'd') + "/图像";
  vqtest::WriteFile(path, "[FILE]\nFOLDPATH=" + deep + "\n[WaterMark]\nName=" + std::string(5000, 'n') + "\n");
  CIniFile ini;
  ASSERT_TRUE(ini.SetPath(C(path)));
  EXPECT_EQ(ini.GetString(L"FILE", L"FOLDPATH"), CString(deep.c_str()));
  EXPECT_EQ(ini.GetString(L"WaterMark", L"Name"), CString(L'n', MAX_PATH - 1));
  EXPECT_EQ(ini.GetString(L"WaterMark", L"Color"), L"");
  EXPECT_EQ(ini.GetString(L"Other", L"Name"), L"");
}

TEST(CIniFile, WithoutOverwriteOnlyExistingKeysAreWritten) {
  auto path = vqtest::TempPath("Sys.ini");
  std::string original = "[OTHER]\nSRC=TRUE\nODD=!*&*none-value*&!*\n";
  vqtest::WriteFile(path, original);
  CIniFile ini;
  ASSERT_TRUE(ini.SetPath(C(path)));
  EXPECT_TRUE(ini.WriteString(L"OTHER", L"NEW", L"1", false));
  EXPECT_TRUE(ini.WriteString(L"OTHER", L"ODD", L"1", false));
  EXPECT_EQ(vqtest::ReadFile(path), original);
  EXPECT_TRUE(ini.WriteString(L"other", L"src", L"FALSE", false));
  EXPECT_EQ(ini.GetString(L"OTHER", L"SRC"), L"FALSE");
  EXPECT_TRUE(ini.WriteString(L"OTHER", L"NEW", L"1", true));
  EXPECT_EQ(vqtest::ReadFile(path), "[OTHER]\nSRC=FALSE\nODD=!*&*none-value*&!*\nNEW=1\n");
}

TEST(FolderHelpers, FolderExistsForFoldersAndFiles) {
  EXPECT_FALSE(FolderExists(L""));
  EXPECT_FALSE(FolderExists(nullptr));
  EXPECT_TRUE(FolderExists(C(vqtest::TempPath("home"))));
  EXPECT_TRUE(FolderExists(C(vqtest::TempPath("home/"))));
  EXPECT_TRUE(FolderExists(C(vqtest::TempPath("home")) + L"\\"));
  vqtest::WriteFile(vqtest::TempPath("file.txt"), "x");
  EXPECT_TRUE(FolderExists(C(vqtest::TempPath("file.txt"))));
  EXPECT_FALSE(FolderExists(C(vqtest::TempPath("nothing"))));
  EXPECT_TRUE(FolderExists(L"/"));
}

TEST(FolderHelpers, CreateFolderTreeMakesEveryLevel) {
  CString deep = C(vqtest::TempPath("a/b/c"));
  EXPECT_TRUE(CreateFolderTree(deep + L"/"));
  EXPECT_TRUE(std::filesystem::is_directory(vqtest::TempPath("a/b/c")));
  EXPECT_TRUE(CreateFolderTree(deep));
  vqtest::WriteFile(vqtest::TempPath("a/file"), "x");
  EXPECT_FALSE(CreateFolderTree(C(vqtest::TempPath("a/file/sub"))));
  EXPECT_FALSE(CreateFolderTree(C(vqtest::TempPath("a/b/c/")) + CString(L'x', 300)));
}

TEST(FolderHelpers, DefaultImageFolderOnDriveD) {
  CString expected = C(vqtest::TempPath("home/Ketterby"));
  EXPECT_EQ(DefaultImageFolder(), expected);  // D: is the home folder by default
  EXPECT_TRUE(std::filesystem::is_directory(vqtest::TempPath("home/Ketterby")));
  EXPECT_EQ(DefaultImageFolder(), expected);  // existing
}

TEST(FolderHelpers, DefaultImageFolderWithoutDriveD) {
  setenv("VQ_DRIVE_D", "", 1);
  EXPECT_EQ(DefaultImageFolder(), C(vqtest::TempPath("appdata/Ketterby")));
  EXPECT_TRUE(std::filesystem::is_directory(vqtest::TempPath("appdata/Ketterby")));
}

TEST(FolderHelpers, DefaultImageFolderFallbacks) {
  // Anything named Ketterby on D: counts as there, even a file.
  setenv("VQ_DRIVE_D", vqtest::TempPath("d").c_str(), 1);
  std::filesystem::create_directories(vqtest::TempPath("d"));
  vqtest::WriteFile(vqtest::TempPath("d/Ketterby"), "x");
  EXPECT_EQ(DefaultImageFolder(), C(vqtest::TempPath("d/Ketterby")));
  // No D:, and a file blocks Ketterby in the per-machine folder: that folder itself.
  setenv("VQ_DRIVE_D", "", 1);
  vqtest::WriteFile(vqtest::TempPath("appdata/Ketterby"), "x");
  EXPECT_EQ(DefaultImageFolder(), C(vqtest::TempPath("appdata")));
  // No per-machine folder can be made: beside the program.
  setenv("VQ_COMMON_APPDATA", vqtest::TempPath("appdata/Ketterby/sub").c_str(), 1);
  EXPECT_EQ(DefaultImageFolder(), C(vqtest::TempPath("program/Ketterby")));
}

}  // namespace

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

// The memory door is the file door's parser and rules: every text reads
// alike through both, the same writes are taken or refused alike, and the
// text in memory ends as the file does.
TEST(CIniFile, TheMemoryDoorReadsAndWritesAsTheFileDoes) {
  const std::string texts[] = {
      "",
      "\xEF\xBB\xBF[FILE]\r\nPREFIX = \"quoted\" \r\nPRECHOOSE='A|B'\r\n",
      "; kept\n[WaterMark]\nName=" + std::string(300, 'n') + "\n[other]\nSRC=TRUE\nODD=!*&*none-value*&!*\n",
      "[\u56fe\u50cf]\n\u952e=\u503c\nbare\n[IMAGE]\nXDPI=1\n[image]\nXDPI=2\n[FILE]\n",
      std::string("x=\0y\n[FILE\nPREFIX=\xff\xfe\n[", 22),
  };
  const std::pair<const wchar_t*, const wchar_t*> keys[] = {
      {L"FILE", L"PREFIX"}, {L"file", L"precHoose"}, {L"WaterMark", L"Name"}, {L"OTHER", L"ODD"},
      {L"\u56fe\u50cf", L"\u952e"}, {L"\u56fe\u50cf", L"bare"}, {L"IMAGE", L"XDPI"}, {L"", L"x"}};
  struct Write {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
    bool overwrite;
  };
  const Write writes[] = {{L"OTHER", L"NEW", L"1", false}, {L"other", L"src", L"FALSE", false},
                          {L"FILE", L"PREFIX", L"\u65b0", true}, {L"Bad]", L"k", L"v", true},
                          {L"S", L"k", L"a\nb", true},        {L"S", L"=k", L"v", true},
                          {L"WaterMark", L"Name", L"", true},  {L"NEW", L"KEY", L" spaced ", true}};
  const auto path = vqtest::TempPath("\u8bbe\u7f6e.ini");
  for (const std::string& text : texts) {
    ASSERT_TRUE(vqtest::WriteFile(path, text));
    CIniFile file;
    ASSERT_TRUE(file.SetPath(C(path)));
    const CIniFile memory = CIniFile::InMemory(text);
    for (const auto& [section, key] : keys)
      EXPECT_EQ(memory.GetString(section, key), file.GetString(section, key)) << section << "/" << key;
    for (const Write& w : writes)
      EXPECT_EQ(memory.WriteString(w.section, w.key, w.value, w.overwrite),
                file.WriteString(w.section, w.key, w.value, w.overwrite))
          << w.section << "/" << w.key;
    EXPECT_EQ(memory.MemoryBytes(), vqtest::ReadFile(path));
    EXPECT_EQ(file.MemoryBytes(), "");
  }
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

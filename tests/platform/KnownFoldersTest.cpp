#include <gtest/gtest.h>

#include <cstdlib>

#include "base/PathEncoding.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/LastError.h"
#include "tests/platform/PrintCString.h"
#include "tests/support/TestEnv.h"

namespace {

std::wstring C(const std::filesystem::path& p) { return vq::FromFsPath(p); }

TEST(KnownFolders, OverridesPointTheFoldersIntoTheTest) {
  EXPECT_EQ(vq::ProgramFolder(), C(vqtest::TempPath("program")));
  EXPECT_EQ(vq::CommonAppDataFolder(), C(vqtest::TempPath("appdata")));
  unsetenv("VQ_COMMON_APPDATA");
  setenv("XDG_DATA_HOME", vqtest::TempPath("xdg/").c_str(), 1);
  EXPECT_EQ(vq::CommonAppDataFolder(), C(vqtest::TempPath("xdg")));
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(vq::CommonAppDataFolder(), C(vqtest::TempPath("home/.local/share")));
}

TEST(KnownFolders, ModuleFileNameLivesInTheProgramFolder) {
  wchar_t buffer[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  ASSERT_GT(n, 0u);
  CString path(buffer);
  EXPECT_EQ(path.Left(path.ReverseFind(L'/')), CString(vq::ProgramFolder()));
  wchar_t small[4];
  EXPECT_EQ(GetModuleFileNameW(nullptr, small, 4), 4u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(small[3], L'\0');
}

TEST(KnownFolders, DriveLetters) {
  EXPECT_EQ(vq::DriveRoot(L'c'), L"/");
  EXPECT_EQ(vq::DriveRoot(L'D'), C(vqtest::TempPath("home")));  // default: the home folder
  EXPECT_EQ(GetLogicalDrives(), 0b1100u);
  setenv("VQ_DRIVE_D", vqtest::TempPath("dd").c_str(), 1);
  EXPECT_TRUE(vq::DriveRoot(L'D').empty());  // its folder does not exist
  std::filesystem::create_directories(vqtest::TempPath("dd"));
  EXPECT_EQ(vq::DrivePath(L'D', L"Ketterby"), C(vqtest::TempPath("dd/Ketterby")));
  setenv("VQ_DRIVE_D", "", 1);
  EXPECT_TRUE(vq::DriveRoot(L'D').empty());
  EXPECT_EQ(GetLogicalDrives(), 0b0100u);
  EXPECT_TRUE(vq::DrivePath(L'D', L"Ketterby").empty());
  EXPECT_EQ(vq::DrivePath(L'C', L"Ketterby"), L"/Ketterby");
  EXPECT_TRUE(vq::DriveRoot(L'E').empty());
}

TEST(KnownFolders, JoinPathUsesOneSeparator) {
  EXPECT_EQ(vq::JoinPath(L"/a/", L"/b"), L"/a/b");
  EXPECT_EQ(vq::JoinPath(L"/", L"b"), L"/b");
  EXPECT_EQ(vq::JoinPath(L"/a", L""), L"/a");
}

TEST(KnownFolders, CommonAppDataIsCreatedOnRequest) {
  setenv("VQ_COMMON_APPDATA", vqtest::TempPath("pm/x").c_str(), 1);
  wchar_t out[MAX_PATH];
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, out), E_FAIL);
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, out),
            S_OK);
  EXPECT_EQ(CString(out), C(vqtest::TempPath("pm/x")));
  EXPECT_TRUE(std::filesystem::is_directory(vqtest::TempPath("pm/x")));
  EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, out, CSIDL_COMMON_APPDATA, FALSE));
}

TEST(KnownFolders, CreateDirectoryExMakesEveryLevel) {
  CString deep = C(vqtest::TempPath("l1/l2/l3"));
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, deep, nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(std::filesystem::is_directory(vqtest::TempPath("l1/l2/l3")));
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, deep, nullptr), ERROR_ALREADY_EXISTS);
  vqtest::WriteFile(vqtest::TempPath("file"), "x");
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, C(vqtest::TempPath("file")).c_str(), nullptr), ERROR_FILE_EXISTS);
  EXPECT_NE(SHCreateDirectoryExW(nullptr, C(vqtest::TempPath("file/sub")).c_str(), nullptr), ERROR_SUCCESS);
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, L"relative/x", nullptr), ERROR_BAD_PATHNAME);
}

}  // namespace

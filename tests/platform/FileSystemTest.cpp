#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/PathEncoding.h"
#include "platform/win/FileSystem.h"
#include "platform/win/LastError.h"
#include "tests/support/TestEnv.h"

namespace {

std::wstring W(const std::filesystem::path& p) { return vq::FromFsPath(p); }

std::vector<std::wstring> FindAll(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (FindNextFileW(h, &data));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  FindClose(h);
  return names;
}

TEST(FileSystem, FindMatchesPatternsWithoutRegardToCase) {
  auto dir = vqtest::TempPath("imgs");
  std::filesystem::create_directories(dir / "sub");
  for (const char* n : {"b.JPG", "a.jpg", "c.png", "noext"}) vqtest::WriteFile(dir / n, "x");
  EXPECT_EQ(FindAll(W(dir / "*.jpg")), (std::vector<std::wstring>{L"a.jpg", L"b.JPG"}));
  EXPECT_EQ(FindAll(W(dir / "*.*")).size(), 5u);  // also names without a dot, and "sub"
  EXPECT_EQ(FindAll(W(dir / "?.png")), (std::vector<std::wstring>{L"c.png"}));
  EXPECT_TRUE(FindAll(W(dir / "*.tif")).empty());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(FindAll(W(dir / "none/*")).empty());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(FileSystem, FindWithoutWildcardsReportsThatEntry) {
  auto dir = vqtest::TempPath("f");
  std::filesystem::create_directories(dir);
  vqtest::WriteFile(dir / "data.dat", std::string(70000, 'x'));
  WIN32_FIND_DATAW data;
  HANDLE h = FindFirstFileW(W(dir / "data.dat").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 70000u);
  EXPECT_EQ(std::wstring(data.cFileName), L"data.dat");
  EXPECT_FALSE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  FindClose(h);
  h = FindFirstFileW(W(dir).c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  FindClose(h);
  EXPECT_EQ(FindFirstFileW(W(dir / "missing").c_str(), &data), INVALID_HANDLE_VALUE);
}

TEST(FileSystem, FoldersAndAttributes) {
  auto dir = vqtest::TempPath("d");
  EXPECT_EQ(GetFileAttributesW(W(dir).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(CreateDirectoryW(W(dir).c_str(), nullptr));
  EXPECT_FALSE(CreateDirectoryW(W(dir).c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_FALSE(CreateDirectoryW(W(dir / "x/y").c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(W(dir).c_str()), FILE_ATTRIBUTE_DIRECTORY);
  vqtest::WriteFile(dir / "f", "1");
  EXPECT_EQ(GetFileAttributesW(W(dir / "f").c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(SetFileAttributesW(W(dir / "f").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW(W(dir / "f").c_str()), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(SetFileAttributesW(W(dir / "f").c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_FALSE(RemoveDirectoryW(W(dir).c_str()));  // not empty
  EXPECT_FALSE(DeleteFileW(W(dir).c_str()));       // a folder
  EXPECT_TRUE(DeleteFileW(W(dir / "f").c_str()));
  EXPECT_FALSE(DeleteFileW(W(dir / "f").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(RemoveDirectoryW(W(dir).c_str()));
}

TEST(FileSystem, MoveAndCopyRespectExistingTargets) {
  auto a = vqtest::TempPath("a.jpg"), b = vqtest::TempPath("b.GIF");
  vqtest::WriteFile(a, "jpeg");
  vqtest::WriteFile(b, "old");
  EXPECT_FALSE(MoveFileW(W(a).c_str(), W(b).c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(vqtest::ReadFile(b), "old");
  EXPECT_TRUE(MoveFileExW(W(a).c_str(), W(b).c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(vqtest::ReadFile(b), "jpeg");
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_TRUE(CopyFileW(W(b).c_str(), W(a).c_str(), TRUE));
  EXPECT_FALSE(CopyFileW(W(b).c_str(), W(a).c_str(), TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(vqtest::ReadFile(a), "jpeg");
  EXPECT_FALSE(MoveFileW(W(vqtest::TempPath("none")).c_str(), W(a).c_str()));
}

}  // namespace

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <string>

#include "platform/win/LastError.h"
#include "platform/win/PathEncoding.h"
#include "platform/win/PrivateProfile.h"
#include "tests/support/TestEnv.h"

namespace {

std::wstring Read(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                  const wchar_t* def = L"", DWORD size = 260) {
  std::wstring buf(size, L'#');
  DWORD n = GetPrivateProfileStringW(section, key, def, buf.data(), size, file.c_str());
  EXPECT_EQ(buf[n], L'\0');
  return buf.substr(0, n);
}

class PrivateProfile : public ::testing::Test {
 protected:
  std::filesystem::path path = vqtest::TempPath("Sys.ini");
  std::wstring file = vq::FromFsPath(path);
};

TEST_F(PrivateProfile, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(Read(file, L"FILE", L"PREFIX", L"IMG  "), L"IMG");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(std::filesystem::exists(path));
  vqtest::WriteFile(path, "[FILE]\nPREFIX=ABC\n");
  EXPECT_EQ(Read(file, L"IMAGE", L"PREFIX", L"d"), L"d");
  EXPECT_EQ(Read(file, L"FILE", L"SUFFIX"), L"");
  EXPECT_EQ(Read(file, L"FILE", L"PREFIX"), L"ABC");
}

TEST_F(PrivateProfile, NamesMatchWithoutRegardToCase) {
  ASSERT_TRUE(WritePrivateProfileStringW(L"OTHER", L"MERGE", L"TRUE", file.c_str()));
  EXPECT_EQ(Read(file, L"other", L"Merge"), L"TRUE");
  ASSERT_TRUE(WritePrivateProfileStringW(L"Other", L"merge", L"FALSE", file.c_str()));
  EXPECT_EQ(vqtest::ReadFile(path), "[OTHER]\nMERGE=FALSE\n");
}

TEST_F(PrivateProfile, NewKeysGoToTheEndOfTheirSectionAndOtherLinesStay) {
  vqtest::WriteFile(path,
                    "; settings\n[A]\nx = 1 \n\n[B]\ny=2\nunknown line\n[Extra]\nkeep=me\n");
  ASSERT_TRUE(WritePrivateProfileStringW(L"A", L"z", L"3", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"B", L"y", L"22", file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"C", L"w", L"4", file.c_str()));
  EXPECT_EQ(vqtest::ReadFile(path),
            "; settings\n[A]\nx = 1 \nz=3\n\n[B]\ny=22\nunknown line\n[Extra]\nkeep=me\n"
            "[C]\nw=4\n");
  EXPECT_EQ(Read(file, L"A", L"x"), L"1");
}

TEST_F(PrivateProfile, WindowsLineEndsAndByteOrderMarkAreKept) {
  vqtest::WriteFile(path, "\xEF\xBB\xBF[S]\r\nk=v\r\n");
  ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"n", L"\u4E2D", file.c_str()));
  EXPECT_EQ(vqtest::ReadFile(path), "\xEF\xBB\xBF[S]\r\nk=v\r\nn=\xE4\xB8\xAD\r\n");
  EXPECT_EQ(Read(file, L"S", L"n"), L"\u4E2D");
  EXPECT_EQ(Read(file, L"S", L"k"), L"v");
}

TEST_F(PrivateProfile, ValuesAreTrimmedUnquotedAndCutToTheBuffer) {
  vqtest::WriteFile(path, "[S]\nq=  \"a b\"  \nr='x'\nhalf=\"open\nempty=\nbare\n");
  EXPECT_EQ(Read(file, L"S", L"q"), L"a b");
  EXPECT_EQ(Read(file, L"S", L"r"), L"x");
  EXPECT_EQ(Read(file, L"S", L"half"), L"\"open");
  EXPECT_EQ(Read(file, L"S", L"empty", L"dflt"), L"");
  EXPECT_EQ(Read(file, L"S", L"bare", L"dflt"), L"");
  std::wstring longValue(300, L'v');
  ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"long", longValue.c_str(), file.c_str()));
  EXPECT_EQ(Read(file, L"S", L"long"), std::wstring(259, L'v'));
  wchar_t tiny[1] = {L'#'};
  EXPECT_EQ(GetPrivateProfileStringW(L"S", L"long", L"", tiny, 0, file.c_str()), 0u);
  EXPECT_EQ(tiny[0], L'#');
}

TEST_F(PrivateProfile, WritingTheSameValueLeavesTheFileAlone) {
  ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"k", L"v", file.c_str()));
  struct stat before {};
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  ASSERT_TRUE(WritePrivateProfileStringW(L"s", L"K", L"v", file.c_str()));
  struct stat after {};
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"k", L"w", file.c_str()));
  EXPECT_EQ(vqtest::ReadFile(path), "[S]\nk=w\n");
}

TEST_F(PrivateProfile, NullKeyOrValueDeletes) {
  vqtest::WriteFile(path, "[A]\nx=1\ny=2\n[B]\nz=3\n");
  ASSERT_TRUE(WritePrivateProfileStringW(L"A", L"x", nullptr, file.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(L"b", nullptr, nullptr, file.c_str()));
  EXPECT_EQ(vqtest::ReadFile(path), "[A]\ny=2\n");
}

TEST_F(PrivateProfile, ListsOfSectionsAndKeys) {
  vqtest::WriteFile(path, "[A]\nx=1\ny=2\n[B]\n");
  std::wstring sections = Read(file, nullptr, nullptr);
  EXPECT_EQ(sections, std::wstring(L"A\0B\0", 4));
  std::wstring keys = Read(file, L"a", nullptr);
  EXPECT_EQ(keys, std::wstring(L"x\0y\0", 4));
  EXPECT_EQ(Read(file, L"A", nullptr, L"", 4), std::wstring(L"x\0", 2));
  EXPECT_EQ(GetPrivateProfileIntW(L"A", L"y", 9, file.c_str()), 2u);
  EXPECT_EQ(GetPrivateProfileIntW(L"A", L"q", 9, file.c_str()), 9u);
}

TEST_F(PrivateProfile, UnstorableNamesAndValuesAreRefused) {
  EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"two\nlines", file.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"a=b", L"v", file.c_str()));
  EXPECT_FALSE(WritePrivateProfileStringW(L"S]", L"k", L"v", file.c_str()));
  EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"  ", L"v", file.c_str()));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(PrivateProfile, FailedWritesLeaveTheFileIntact) {
  std::wstring inMissingFolder = vq::FromFsPath(vqtest::TempPath("no/such/Sys.ini"));
  EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"v", inMissingFolder.c_str()));
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

  // A parent that is a file.
  vqtest::WriteFile(vqtest::TempPath("plain"), "x");
  std::wstring underFile = vq::FromFsPath(vqtest::TempPath("plain/Sys.ini"));
  EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"v", underFile.c_str()));

  // A full disk: the old content survives.
  std::filesystem::create_directories(vqtest::TempPath("cfg"));
  std::filesystem::path cfg = vqtest::TempPath("cfg/Sys.ini");
  std::string original = "[S]\nk=old\n";
  vqtest::WriteFile(cfg, original);
  std::wstring bigValue(500, L'n');
  signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 100;
  setrlimit(RLIMIT_FSIZE, &small);
  BOOL ok = WritePrivateProfileStringW(L"S", L"k", bigValue.c_str(), vq::FromFsPath(cfg).c_str());
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(ok);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(vqtest::ReadFile(cfg), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(cfg.parent_path()),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left behind
}

}  // namespace

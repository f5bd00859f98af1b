#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>

#include "base/PathEncoding.h"
#include "imaging/ReplacingFile.h"
#include "platform/win/LastError.h"
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

int FolderSyncFails(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) return ::fsync(fd);
  errno = EIO;
  return -1;
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
  // Beyond ASCII too, and a name folding to an ASCII one matches it.
  ASSERT_TRUE(WritePrivateProfileStringW(L"\u03a9mega", L"\u039a\u03bb\u03b5\u03b9\u03b4\u03af", L"1", file.c_str()));
  EXPECT_EQ(Read(file, L"\u03c9MEGA", L"\u03ba\u039b\u0395\u0399\u0394\u038a"), L"1");
  ASSERT_TRUE(WritePrivateProfileStringW(L"\u212aeys", L"a", L"2", file.c_str()));
  EXPECT_EQ(Read(file, L"keys", L"A"), L"2") << "the Kelvin sign is a k";
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

TEST_F(PrivateProfile, ALinkedFileIsWrittenWhereItLiesAndTheLinkStays) {
  const std::filesystem::path real = vqtest::TempPath("elsewhere/Sys.ini");
  std::filesystem::create_directories(real.parent_path());
  vqtest::WriteFile(real, "[S]\nk=old\n");
  std::filesystem::create_symlink(real, path);
  EXPECT_TRUE(WritePrivateProfileStringW(L"S", L"k", L"new", file.c_str()));
  EXPECT_TRUE(std::filesystem::is_symlink(path));
  EXPECT_EQ(vqtest::ReadFile(real), "[S]\nk=new\n");
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

  // The new file is in place but its folder cannot be synced: not saved.
  static const vq::DiskCalls folderSyncFails{FolderSyncFails, ::close};
  vq::SetDiskCallsForTesting(&folderSyncFails);
  ok = WritePrivateProfileStringW(L"S", L"k", L"new", vq::FromFsPath(cfg).c_str());
  vq::SetDiskCallsForTesting(nullptr);
  EXPECT_FALSE(ok);
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

// Rewritten in place, without the inode, size or second changing: the
// file is still read as it is now, on every read.
TEST_F(PrivateProfile, EveryReadSeesTheFileAsItIsNow) {
  vqtest::WriteFile(path, "[S]\nk=v0\n");
  struct stat first {};
  ASSERT_EQ(stat(path.c_str(), &first), 0);
  for (int i = 0; i < 50; ++i) {
    const std::string value = "v" + std::to_string(i % 10);
    {
      std::ofstream same(path, std::ios::in | std::ios::out);  // no truncation, no new inode
      same << "[S]\nk=" << value << "\n";
    }
    EXPECT_EQ(Read(file, L"S", L"k"), std::wstring(value.begin(), value.end())) << i;
  }
  struct stat last {};
  ASSERT_EQ(stat(path.c_str(), &last), 0);
  EXPECT_EQ(first.st_ino, last.st_ino);
  EXPECT_EQ(first.st_size, last.st_size);

  // Replaced by another file, then gone.
  vqtest::WriteFile(vqtest::TempPath("other.ini"), "[S]\nk=other\n");
  std::filesystem::rename(vqtest::TempPath("other.ini"), path);
  EXPECT_EQ(Read(file, L"S", L"k"), L"other");
  std::filesystem::remove(path);
  EXPECT_EQ(Read(file, L"S", L"k", L"gone"), L"gone");
  // Written by this process, then by hand with the same size.
  ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"k", L"mine", file.c_str()));
  EXPECT_EQ(Read(file, L"S", L"k"), L"mine");
  {
    std::ofstream same(path, std::ios::in | std::ios::out);
    same << "[S]\nk=hand\n";
  }
  EXPECT_EQ(Read(file, L"S", L"k"), L"hand");
  ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"n", L"1", file.c_str()));
  EXPECT_EQ(vqtest::ReadFile(path), "[S]\nk=hand\nn=1\n");
}

TEST_F(PrivateProfile, ABatchWritesTheFileOnceAndKeepsOtherWriters) {
  vqtest::WriteFile(path, "; mine\n[S]\nk=old\n");
  const std::string before = vqtest::ReadFile(path);
  {
    vqplatform::ProfileWriteBatch batch(file.c_str());
    for (int i = 0; i < 20; ++i) {
      const std::wstring key = L"k" + std::to_wstring(i);
      ASSERT_TRUE(WritePrivateProfileStringW(L"S", key.c_str(), L"new", file.c_str()));
      // Seen by this thread's reads, not yet on disk.
      EXPECT_EQ(Read(file, L"S", key.c_str()), L"new");
      EXPECT_EQ(vqtest::ReadFile(path), before);
    }
    ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"k", nullptr, file.c_str()));
    EXPECT_EQ(Read(file, L"S", L"k", L"none"), L"none");
    // Another thread writes straight to the file meanwhile; its key stays.
    std::thread other([&] { EXPECT_TRUE(WritePrivateProfileStringW(L"T", L"x", L"theirs", file.c_str())); });
    other.join();
    EXPECT_NE(vqtest::ReadFile(path).find("[T]\nx=theirs\n"), std::string::npos);
    EXPECT_TRUE(batch.Commit());
    // After the commit writes go to the file one by one again.
    ASSERT_TRUE(WritePrivateProfileStringW(L"U", L"y", L"1", file.c_str()));
    EXPECT_NE(vqtest::ReadFile(path).find("[U]\ny=1\n"), std::string::npos);
  }
  const std::string after = vqtest::ReadFile(path);
  EXPECT_EQ(after.rfind("; mine\n[S]\nk0=new\n", 0), 0u);
  EXPECT_NE(after.find("k19=new\n[T]\nx=theirs\n[U]\ny=1\n"), std::string::npos);
  EXPECT_EQ(after.find("k=old"), std::string::npos);

  // A batch that sets what the file holds writes nothing.
  struct stat unchanged {};
  ASSERT_EQ(stat(path.c_str(), &unchanged), 0);
  {
    vqplatform::ProfileWriteBatch batch(file.c_str());
    ASSERT_TRUE(WritePrivateProfileStringW(L"S", L"k0", L"new", file.c_str()));
  }
  struct stat still {};
  ASSERT_EQ(stat(path.c_str(), &still), 0);
  EXPECT_EQ(unchanged.st_ino, still.st_ino);
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << "no work file left";
}

TEST_F(PrivateProfile, ABatchThatCannotWriteReportsItAndChangesNothing) {
  vqtest::WriteFile(vqtest::TempPath("plain"), "x");
  const std::wstring underFile = vq::FromFsPath(vqtest::TempPath("plain/Sys.ini"));
  vqplatform::ProfileWriteBatch batch(underFile.c_str());
  // Reading the missing file is refused at the first write.
  EXPECT_FALSE(WritePrivateProfileStringW(L"S", L"k", L"v", underFile.c_str()));
  EXPECT_TRUE(batch.Commit()) << "nothing was collected";

  vqtest::WriteFile(path, "[S]\nk=old\n");
  signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 12;
  vqplatform::ProfileWriteBatch full(file.c_str());
  EXPECT_TRUE(WritePrivateProfileStringW(L"S", L"k", L"a longer value", file.c_str()));
  setrlimit(RLIMIT_FSIZE, &small);
  const BOOL ok = full.Commit();
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(ok);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(vqtest::ReadFile(path), "[S]\nk=old\n");
  EXPECT_EQ(Read(file, L"S", L"k"), L"old");
}

}  // namespace

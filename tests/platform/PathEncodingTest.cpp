// File-system names through the layer in the "C" locale: Chinese names
// round-trip through real files; a name that is not UTF-8 (GBK bytes from
// an old archive) is left out of listings and nothing is written, renamed
// or deleted through its text; environment folders that are not UTF-8.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "base/PathEncoding.h"
#include "platform/win/FileSystem.h"
#include "platform/win/KnownFolders.h"
#include "tests/support/Files.h"
#include "tests/support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

const std::string kGbkName = "\xb1\xa8\xb8\xe6.jpg";  // "报告.jpg" in GBK: not UTF-8

std::vector<std::wstring> Listed(const fs::path& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(vq::FromFsPath(folder / "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

class PathEncodingTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = std::setlocale(LC_ALL, nullptr), std::setlocale(LC_ALL, "C"); }
  void TearDown() override { std::setlocale(LC_ALL, previous_.c_str()); }
  std::string previous_;
};

TEST_F(PathEncodingTest, ChineseNamesRoundTripThroughRealFilesInTheCLocale) {
  const fs::path folder = vqtest::TempPath("扫描");
  const std::wstring wide = vq::FromFsPath(folder);
  EXPECT_EQ(wide.substr(wide.size() - 2), L"扫描");
  EXPECT_EQ(vq::ToFsPath(wide), folder);
  ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(vq::JoinPath(wide, L"旧文件").c_str(), nullptr));
  ASSERT_TRUE(vqtest::WriteFile(folder / "page.jpg", "jpeg"));
  ASSERT_TRUE(MoveFileW(vq::JoinPath(wide, L"page.jpg").c_str(), vq::JoinPath(wide, L"报告 1.jpg").c_str()));
  ASSERT_TRUE(CopyFileW(vq::JoinPath(wide, L"报告 1.jpg").c_str(), vq::JoinPath(wide, L"合同00001.jpg").c_str(), TRUE));
  EXPECT_EQ(Listed(folder), (std::vector<std::wstring>{L"合同00001.jpg", L"报告 1.jpg", L"旧文件"}));
  EXPECT_EQ(vqtest::ReadFile(folder / "报告 1.jpg"), "jpeg");
  EXPECT_TRUE(DeleteFileW(vq::JoinPath(wide, L"报告 1.jpg").c_str()));
  EXPECT_FALSE(fs::exists(folder / "报告 1.jpg"));
}

TEST_F(PathEncodingTest, NamesThatAreNotUtf8AreLeftOutAndNothingGoesThroughTheirText) {
  const fs::path folder = vqtest::TempPath("old");
  fs::create_directories(folder / "\xbe\xc9");  // a folder "旧" in GBK
  ASSERT_TRUE(vqtest::WriteFile(folder / kGbkName, "archive"));
  ASSERT_TRUE(vqtest::WriteFile(folder / "报告.jpg", "new"));
  bool exact = true;
  const std::wstring lossy = vq::PathFromBytes(kGbkName, &exact);
  EXPECT_FALSE(exact);
  EXPECT_NE(lossy.find(L'\xFFFD'), std::wstring::npos) << "shown with the replacement character";
  EXPECT_EQ(vq::PathToBytes(lossy), "");
  EXPECT_EQ(Listed(folder), std::vector<std::wstring>{L"报告.jpg"});
  // Through the text that lost the bytes: no write, no rename, no delete.
  const std::wstring lossyPath = vq::JoinPath(vq::FromFsPath(folder), lossy.c_str());
  const std::wstring good = vq::FromFsPath(folder / "报告.jpg");
  EXPECT_FALSE(DeleteFileW(lossyPath.c_str()));
  EXPECT_FALSE(MoveFileExW(good.c_str(), lossyPath.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(MoveFileW(lossyPath.c_str(), good.c_str()));
  EXPECT_FALSE(CopyFileW(good.c_str(), lossyPath.c_str(), FALSE));
  EXPECT_FALSE(CreateDirectoryW((lossyPath + L"_dir").c_str(), nullptr));
  EXPECT_EQ(GetFileAttributesW(lossyPath.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(vqtest::NamesIn(folder), (std::vector<std::string>{kGbkName, "\xbe\xc9", "报告.jpg"}));
  EXPECT_EQ(vqtest::ReadFile(folder / kGbkName), "archive");
  EXPECT_EQ(vqtest::ReadFile(folder / "报告.jpg"), "new");
  // Nor through a text the system cannot spell in UTF-8, which would
  // otherwise be a '?' wildcard.
  const std::wstring surrogate = vq::FromFsPath(folder) + L"/\xD800.jpg";
  WIN32_FIND_DATAW data;
  EXPECT_EQ(FindFirstFileW(surrogate.c_str(), &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(vq::PathToBytes(surrogate), "");
  bool valid = false;
  EXPECT_EQ(vq::PathFromBytes("报告", &valid), L"报告");
  EXPECT_TRUE(valid);
}

TEST_F(PathEncodingTest, FoldersFromTheEnvironment) {
  setenv("VQ_TEST_FOLDER", (vqtest::TempDir() / "用户//").c_str(), 1);
  EXPECT_EQ(vq::PathFromEnvironment("VQ_TEST_FOLDER"), vq::FromFsPath(vqtest::TempDir() / "用户"));
  setenv("VQ_TEST_FOLDER", "/home/\xd3\xc3\xbb\xa7", 1);  // GBK
  EXPECT_EQ(vq::PathFromEnvironment("VQ_TEST_FOLDER"), L"");
  unsetenv("VQ_TEST_FOLDER");
  EXPECT_EQ(vq::PathFromEnvironment("VQ_TEST_FOLDER"), L"");
  // A home folder that is not UTF-8 stands for D: but nothing is made
  // through its text, in it or beside it.
  const fs::path home = vqtest::TempPath("\xd3\xc3\xbb\xa7");
  fs::create_directories(home);
  setenv("HOME", home.c_str(), 1);
  const std::wstring images = vq::DrivePath(L'D', L"Ketterby");
  EXPECT_NE(images.find(L'\xFFFD'), std::wstring::npos) << "that home, not the password entry's";
  EXPECT_NE(SHCreateDirectoryExW(nullptr, images.c_str(), nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(fs::is_empty(home));
  EXPECT_FALSE(fs::exists(vqtest::TempPath("\xEF\xBF\xBD")));
}

}  // namespace

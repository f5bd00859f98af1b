// What the user is told about pages that could not be written: a name too
// long for the file system names the name (cut for the box), anything else
// names the folder; in the three languages.
#include "app/SaveFailure.h"

#include <gtest/gtest.h>

#include <string>

#include "base/PathEncoding.h"
#include "platform/win/Encoding.h"
#include "tests/support/TestEnv.h"

namespace {

CString InTemp(const std::wstring& name) { return CString((vq::FromFsPath(vqtest::TempDir()) + L"/" + name).c_str()); }

TEST(SaveFailure, NamesTooLongForTheFileSystemAreToldApart) {
  // 255 bytes per name: the page suffix and extension need room too.
  EXPECT_FALSE(NameTooLong(InTemp(std::wstring(240, L'a'))));
  EXPECT_TRUE(NameTooLong(InTemp(std::wstring(250, L'a'))));
  // Counted in bytes: 84 Chinese characters are 252 of them.
  EXPECT_FALSE(NameTooLong(InTemp(std::wstring(80, L'页'))));
  EXPECT_TRUE(NameTooLong(InTemp(std::wstring(84, L'页'))));
  // The folders' names do not count against the name, the whole path does.
  std::wstring deep;
  for (int i = 0; i < 25; ++i) deep += std::wstring(200, L'd') + L"/";
  EXPECT_TRUE(NameTooLong(InTemp(deep + L"IMG00001")));
  EXPECT_FALSE(NameTooLong(InTemp(std::wstring(200, L'd') + L"/IMG00001")));
}

TEST(SaveFailure, TheMessageNamesTheFolderOrTheName) {
  const CString folder = InTemp(L"not a folder/图像");
  const std::wstring english = UnsavedFilesMessage(folder + L"/IMG00001", 2).GetString();
  EXPECT_EQ(english, L"The image folder cannot be written; the picture was not saved:\n" + folder.str());
  EXPECT_EQ(std::wstring(UnsavedFilesMessage(folder + L"/IMG00001", 0).GetString()),
            L"图像文件夹无法写入，图像没有保存：\n" + folder.str());
  EXPECT_EQ(std::wstring(UnsavedFilesMessage(folder + L"/IMG00001", 1).GetString()),
            L"圖像資料夾無法寫入，圖像沒有儲存：\n" + folder.str());

  const std::wstring name(300, L'x');
  const std::wstring tooLong = UnsavedFilesMessage(InTemp(name), 2).GetString();
  EXPECT_EQ(tooLong, L"The file name is too long; the picture was not saved:\n" + std::wstring(80, L'x') + L"…");
  EXPECT_EQ(std::wstring(UnsavedFilesMessage(InTemp(name), 0).GetString()).rfind(L"文件名太长", 0), 0u);
  EXPECT_EQ(std::wstring(UnsavedFilesMessage(InTemp(name), 1).GetString()).rfind(L"檔名太長", 0), 0u);
}

}  // namespace

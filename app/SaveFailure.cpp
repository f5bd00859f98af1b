#include "app/SaveFailure.h"

#include <limits.h>
#include <unistd.h>

#include <string>

#include "base/PathEncoding.h"
#include "platform/win/Encoding.h"
#include "ui/LanguageTexts.h"

namespace {

// The longest tail a page file adds to its base: "_99" and ".jpg".
constexpr size_t kLongestTail = 8;
// A name in a message is cut to this many characters.
constexpr int kShownName = 80;

const LanguageText kFolderNotWritable{L"图像文件夹无法写入，图像没有保存：\n%s", L"圖像資料夾無法寫入，圖像沒有儲存：\n%s",
                                      L"The image folder cannot be written; the picture was not saved:\n%s"};
const LanguageText kNameTooLong{L"文件名太长，图像没有保存：\n%s", L"檔名太長，圖像沒有儲存：\n%s",
                                L"The file name is too long; the picture was not saved:\n%s"};

int SlashIn(const CString& path) { return path.ReverseFind(L'/'); }

// The longest name the folder's file system takes (255 when it cannot tell).
size_t NameLimit(const CString& folder) {
  const long limit = pathconf(vq::PathToBytes(folder.str()).c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<size_t>(limit) : NAME_MAX;
}

}  // namespace

bool NameTooLong(const CString& basePath) {
  const int slash = SlashIn(basePath);
  const CString folder = slash < 0 ? CString(L".") : basePath.Left(slash + 1);
  const std::string name = vq::WideToUtf8(basePath.Mid(slash + 1).str());
  const size_t whole = vq::PathToBytes(basePath.str()).size();
  return name.size() + kLongestTail > NameLimit(folder) || whole + kLongestTail >= PATH_MAX;
}

CString UnsavedFilesMessage(const CString& basePath, int language) {
  CString text;
  const int slash = SlashIn(basePath);
  if (NameTooLong(basePath)) {
    CString name = basePath.Mid(slash + 1);
    if (name.GetLength() > kShownName) name = name.Left(kShownName) + L"…";
    text.Format(kNameTooLong.In(language), name.GetString());
  } else {
    text.Format(kFolderNotWritable.In(language), (slash < 0 ? basePath : basePath.Left(slash)).GetString());
  }
  return text;
}

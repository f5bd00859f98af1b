#include "app/SettingsLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "app/IniFile.h"
#include "base/PathEncoding.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/ProfileFiles.h"
#include "ui/LanguageTexts.h"

namespace {

constexpr const wchar_t* kSettingsName = L"Sys.ini";

CString FromEnvironment(const char* name) {
  return CString(vq::PathFromEnvironment(name).c_str());
}

const LanguageText kNotKept{
    L"无法保存设置：%s 无法写入。现在所做的更改在程序结束时将丢失。",
    L"無法儲存設定：%s 無法寫入。現在所做的變更在程式結束時將遺失。",
    L"The settings cannot be kept: %s cannot be written. Changes made now are lost when the program ends."};
const LanguageText kCarried{L"无法在 %s 中保存设置。设置已复制到 %s，今后保存在那里。",
                            L"無法在 %s 中儲存設定。設定已複製到 %s，今後儲存在那裡。",
                            L"The settings cannot be kept in %s. They were copied to %s and are kept there from now on."};
const LanguageText kNotAFile{L"%s 不能用作设置文件（%s），无法在其中保存设置。设置保存在 %s。",
                             L"%s 不能用作設定檔（%s），無法在其中儲存設定。設定儲存在 %s。",
                             L"%s cannot be used as the settings file (%s), so the settings cannot be kept there. "
                             L"They are kept in %s."};
const LanguageText kNotRegular{L"不是普通文件", L"不是一般檔案", L"not a regular file"};
const LanguageText kTooLarge{L"大于 4 MB", L"大於 4 MB", L"larger than 4 MB"};
const LanguageText kLinkLoop{L"符号链接循环", L"符號連結迴圈", L"a loop of symbolic links"};

enum class Found { kNothing, kFile, kOther };

// What is at a path, links followed; for anything but nothing or a usable
// file, *why and *error say what is wrong (a link loop is there, not absent).
Found WhatIsAt(const CString& path, vq::FileRefusal* why = nullptr, int* error = nullptr) {
  struct stat st {};
  vq::FileRefusal refusal = vq::FileRefusal::kFailed;
  int failure = 0;
  if (stat(vq::PathToBytes(path.GetString()).c_str(), &st) != 0) {
    if (errno == ENOENT) return Found::kNothing;
    failure = errno;
  } else if (!S_ISREG(st.st_mode)) {
    refusal = vq::FileRefusal::kNotAFile;
  } else if (static_cast<std::uint64_t>(st.st_size) > vq::kMaxProfileFileBytes) {
    refusal = vq::FileRefusal::kTooLarge;
  } else {
    return Found::kFile;
  }
  if (why) *why = refusal;
  if (error) *error = failure;
  return Found::kOther;
}

}  // namespace

CString ConfigFolder() {
  CString base = FromEnvironment("XDG_CONFIG_HOME");
  if (!base.IsEmpty() && base[0] == L'/') return vq::JoinPath(base, L"Vorquell");
  bool fromEnvironment = false;
  const CString home = vq::UserHomeFolder(&fromEnvironment).c_str();
  if (!fromEnvironment) {
    // Told once: the settings go where the user may not look for them.
    static bool told = false;
    if (!told)
      std::fprintf(stderr, "Vorquell: HOME is not set to an absolute folder; the settings folder is %s\n",
                   home.IsEmpty() ? "none (no home folder in the password database)"
                                  : vq::PathToBytes(vq::JoinPath(home.GetString(), L".config/Vorquell")).c_str());
    told = true;
  }
  if (home.IsEmpty()) return CString();
  return vq::JoinPath(vq::JoinPath(home, L".config"), L"Vorquell");
}

bool CanWriteFile(const CString& path) {
  const std::string file = vq::PathToBytes(path.GetString());
  if (access(file.c_str(), F_OK) == 0) return access(file.c_str(), W_OK) == 0;
  const size_t slash = file.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : file.substr(0, slash));
  return access(folder.c_str(), W_OK) == 0;
}

SettingsPlace FindSettingsPlace(const CString& programFolder, bool (*canWrite)(const CString&)) {
  SettingsPlace place;
  const CString configFolder = ConfigFolder();
  const CString configured = configFolder.IsEmpty() ? CString() : vq::JoinPath(configFolder, kSettingsName);
  vq::FileRefusal configWhy = vq::FileRefusal::kNone;
  int configError = 0;
  // Without a configuration folder there is nothing to find there.
  const Found inConfig = configured.IsEmpty() ? Found::kNothing : WhatIsAt(configured, &configWhy, &configError);
  if (inConfig == Found::kFile) {
    place.file = configured;
    return place;
  }
  const CString beside = vq::JoinPath(programFolder, kSettingsName);
  const Found besideProgram = WhatIsAt(beside, &place.why, &place.error);
  const bool installed = WhatIsAt(vq::JoinPath(programFolder, kInstalledMarkerName)) == Found::kFile;
  if (!installed && besideProgram != Found::kOther && canWrite(beside)) {
    place.file = beside;
    return place;
  }
  if (besideProgram == Found::kFile) place.carriedFrom = beside;
  if (besideProgram == Found::kOther) place.notAFile = beside;
  if (inConfig == Found::kOther) {
    place.notAFile = configured;
    place.why = configWhy;
    place.error = configError;
    return place;
  }
  if (configured.IsEmpty()) return place;
  CreateFolderTree(configFolder);
  place.file = configured;
  return place;
}

CString SettingsFilePath(const CString& programFolder, bool (*canWrite)(const CString&)) {
  return FindSettingsPlace(programFolder, canWrite).file;
}

CString WhyUnusable(const SettingsPlace& place, int language) {
  if (place.why == vq::FileRefusal::kNotAFile) return kNotRegular.In(language);
  if (place.why == vq::FileRefusal::kTooLarge) return kTooLarge.In(language);
  if (place.error == ELOOP) return kLinkLoop.In(language);
  return CString(vq::PathFromBytes(vq::RefusalText(place.why, 0, place.error)).c_str());
}

CString SettingsPlaceNotice(const SettingsPlace& place, bool kept, int language) {
  CString text;
  if (!kept)
    text.Format(kNotKept.In(language), (place.file.IsEmpty() ? place.notAFile : place.file).GetString());
  else if (!place.carriedFrom.IsEmpty())
    text.Format(kCarried.In(language), place.carriedFrom.GetString(), place.file.GetString());
  else if (!place.notAFile.IsEmpty())
    text.Format(kNotAFile.In(language), place.notAFile.GetString(), WhyUnusable(place, language).GetString(),
                place.file.GetString());
  return text;
}

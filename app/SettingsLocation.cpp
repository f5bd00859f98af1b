#include "app/SettingsLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "app/IniFile.h"
#include "base/PathEncoding.h"
#include "platform/win/KnownFolders.h"
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
const LanguageText kNotAFile{L"%s 不是文件，无法在其中保存设置。设置保存在 %s。",
                             L"%s 不是檔案，無法在其中儲存設定。設定儲存在 %s。",
                             L"%s is not a file, so the settings cannot be kept there. They are kept in %s."};

enum class Found { kNothing, kFile, kOther };

// What is at a path, links followed.
Found WhatIsAt(const CString& path) {
  struct stat st {};
  if (stat(vq::PathToBytes(path.GetString()).c_str(), &st) != 0) return Found::kNothing;
  return S_ISREG(st.st_mode) ? Found::kFile : Found::kOther;
}

}  // namespace

CString ConfigFolder() {
  CString base = FromEnvironment("XDG_CONFIG_HOME");
  if (base.IsEmpty()) base = vq::JoinPath(FromEnvironment("HOME"), L".config");
  return vq::JoinPath(base, L"Vorquell");
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
  const CString configured = vq::JoinPath(configFolder, kSettingsName);
  const Found inConfig = WhatIsAt(configured);
  if (inConfig == Found::kFile) {
    place.file = configured;
    return place;
  }
  const CString beside = vq::JoinPath(programFolder, kSettingsName);
  const Found besideProgram = WhatIsAt(beside);
  const bool installed = WhatIsAt(vq::JoinPath(programFolder, kInstalledMarkerName)) == Found::kFile;
  if (!installed && besideProgram != Found::kOther && canWrite(beside)) {
    place.file = beside;
    return place;
  }
  if (besideProgram == Found::kFile) place.carriedFrom = beside;
  if (besideProgram == Found::kOther) place.notAFile = beside;
  if (inConfig == Found::kOther) {
    place.notAFile = configured;
    return place;
  }
  CreateFolderTree(configFolder);
  place.file = configured;
  return place;
}

CString SettingsFilePath(const CString& programFolder, bool (*canWrite)(const CString&)) {
  return FindSettingsPlace(programFolder, canWrite).file;
}

CString SettingsPlaceNotice(const SettingsPlace& place, bool kept, int language) {
  CString text;
  if (!kept)
    text.Format(kNotKept.In(language), (place.file.IsEmpty() ? place.notAFile : place.file).GetString());
  else if (!place.carriedFrom.IsEmpty())
    text.Format(kCarried.In(language), place.carriedFrom.GetString(), place.file.GetString());
  else if (!place.notAFile.IsEmpty())
    text.Format(kNotAFile.In(language), place.notAFile.GetString(), place.file.GetString());
  return text;
}

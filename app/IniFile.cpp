#include "app/IniFile.h"

#include <algorithm>

#include "platform/win/FileSystem.h"
#include "platform/win/IniDocument.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/PrivateProfile.h"

namespace {

// Values hold folder paths, as long as the system takes them.
constexpr DWORD kValueBufferChars = MAX_PATH;
constexpr const wchar_t* kAbsentMarker = L"!*&*none-value*&!*";
constexpr const wchar_t* kImageFolderName = L"Ketterby";

bool CreatedOrThere(const CString& folder) {
  int rc = SHCreateDirectoryExW(nullptr, folder, nullptr);
  return rc == ERROR_SUCCESS || rc == ERROR_ALREADY_EXISTS;
}

CString WithoutTrailingSeparator(const wchar_t* path) {
  CString copy(path);
  int last = copy.GetLength() - 1;
  if (last > 0 && (copy[last] == L'/' || copy[last] == L'\\')) copy.Delete(last);
  return copy;
}

}  // namespace

CIniFile CIniFile::InMemory(std::string_view bytes) {
  CIniFile ini;
  ini.memory_ = std::make_shared<vq::IniDocument>(bytes);
  return ini;
}

std::string CIniFile::MemoryBytes() const { return memory_ ? memory_->Serialize() : std::string(); }

bool CIniFile::SetPath(const wchar_t* path) {
  if (!path || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return false;
  path_ = path;
  memory_.reset();
  return true;
}

CString CIniFile::Read(const wchar_t* section, const wchar_t* key, const wchar_t* whenAbsent) const {
  if (memory_) {
    const std::optional<std::wstring> value =
        section && key ? memory_->Get(section, key) : std::optional<std::wstring>();
    if (!value) return CString(whenAbsent);
    // As the file door's buffer holds it: up to a zero, at most MAX_PATH - 1
    // characters.
    const size_t length = std::min<size_t>(value->find(L'\0'), kValueBufferChars - 1);
    return CString(value->c_str(), static_cast<int>(std::min(length, value->size())));
  }
  wchar_t buffer[kValueBufferChars];
  GetPrivateProfileStringW(section, key, whenAbsent, buffer, kValueBufferChars, path_);
  return CString(buffer);
}

CString CIniFile::GetString(const wchar_t* section, const wchar_t* key) const { return Read(section, key, L""); }

bool CIniFile::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                           bool overwrite) const {
  if (!overwrite && Read(section, key, kAbsentMarker) == kAbsentMarker) return true;
  if (!memory_) return WritePrivateProfileStringW(section, key, value, path_) != FALSE;
  if (!vq::IniDocument::CanStore(section, key, value)) return false;
  if (!key) memory_->RemoveSection(section);
  else if (!value) memory_->RemoveKey(section, key);
  else memory_->Set(section, key, value);
  return true;
}

bool FolderExists(const wchar_t* path) {
  if (!path || !*path) return false;
  CString copy = WithoutTrailingSeparator(path);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(copy, &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

bool CreateFolderTree(const wchar_t* path) {
  if (FolderExists(path)) return true;
  CString target = WithoutTrailingSeparator(path);
  CString built;
  auto createLevel = [](const CString& level) {
    if (!level.IsEmpty() && CreateDirectoryW(level, nullptr))
      SetFileAttributesW(level, FILE_ATTRIBUTE_NORMAL);
  };
  for (int i = 0; i < target.GetLength(); ++i) {
    if (target[i] == L'/') createLevel(built);
    built += target[i];
  }
  createLevel(built);
  return FolderExists(built);
}

CString DefaultImageFolder() {
  CString onDriveD = vq::DrivePath(L'D', kImageFolderName);
  if (!onDriveD.IsEmpty() && (FolderExists(onDriveD) || CreatedOrThere(onDriveD)))
    return onDriveD;

  wchar_t appData[MAX_PATH];
  if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                 SHGFP_TYPE_CURRENT, appData))) {
    CString inAppData = vq::JoinPath(appData, kImageFolderName);
    return CreatedOrThere(inAppData) ? inAppData : CString(appData);
  }

  wchar_t module[4096];
  DWORD n = GetModuleFileNameW(nullptr, module, 4096);
  if (n == 0 || n >= 4096) return CString();
  CString programFolder(module);
  programFolder = programFolder.Left(programFolder.ReverseFind(L'/'));
  CString besideProgram = vq::JoinPath(programFolder, kImageFolderName);
  return CreatedOrThere(besideProgram) ? besideProgram : CString();
}

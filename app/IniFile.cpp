#include "app/IniFile.h"

#include "platform/win/FileSystem.h"
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

bool CIniFile::SetPath(const wchar_t* path) {
  if (!path || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return false;
  path_ = path;
  return true;
}

CString CIniFile::GetString(const wchar_t* section, const wchar_t* key) const {
  wchar_t buffer[kValueBufferChars];
  GetPrivateProfileStringW(section, key, L"", buffer, kValueBufferChars, path_);
  return CString(buffer);
}

bool CIniFile::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                           bool overwrite) const {
  if (!overwrite) {
    wchar_t buffer[kValueBufferChars];
    GetPrivateProfileStringW(section, key, kAbsentMarker, buffer, kValueBufferChars, path_);
    if (CString(buffer) == kAbsentMarker) return true;
  }
  return WritePrivateProfileStringW(section, key, value, path_) != FALSE;
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

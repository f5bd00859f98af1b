#include "app/SettingsLocation.h"

#include <unistd.h>

#include <cstdlib>

#include "app/IniFile.h"
#include "base/PathEncoding.h"
#include "platform/win/KnownFolders.h"

namespace {

constexpr const wchar_t* kSettingsName = L"Sys.ini";

CString FromEnvironment(const char* name) {
  return CString(vq::PathFromEnvironment(name).c_str());
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

CString SettingsFilePath(const CString& programFolder, bool (*canWrite)(const CString&)) {
  const CString configFolder = ConfigFolder();
  const CString configured = vq::JoinPath(configFolder, kSettingsName);
  if (FolderExists(configured)) return configured;
  const CString beside = vq::JoinPath(programFolder, kSettingsName);
  if (canWrite(beside)) return beside;
  CreateFolderTree(configFolder);
  return configured;
}

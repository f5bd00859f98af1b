#include "platform/win/KnownFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "base/PathEncoding.h"
#include "platform/win/Encoding.h"
#include "platform/win/LastError.h"

namespace {

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The home folder as bytes: HOME when it is set, even where its name is not
// UTF-8 (its text then names no file), else the password entry's.
std::string HomeFolder() {
  if (const char* set = Env("HOME"); set && set[0] == '/') return WithoutTrailingSlash(set);
  return vq::PathToBytes(vq::UserHomeFolder());
}

std::string ExecutablePath() {
  std::string buffer(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return std::string();
  buffer.resize(static_cast<size_t>(n));
  return buffer;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p; returns 0 or an errno value (EEXIST when it was there).
int MakeFolders(const std::string& path) {
  if (IsFolder(path)) return EEXIST;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    std::string level = path.substr(0, pos);
    if (IsFolder(level)) continue;
    if (mkdir(level.c_str(), 0777) != 0 && errno != EEXIST) return errno;
  }
  return IsFolder(path) ? 0 : ENOTDIR;
}

HRESULT CopyOut(const std::wstring& path, LPWSTR out) {
  if (path.size() >= MAX_PATH) return E_FAIL;
  std::wmemcpy(out, path.c_str(), path.size() + 1);
  return S_OK;
}

}  // namespace

namespace vq {

std::wstring ProgramFolder() {
  if (const char* dir = Env("VQ_PROGRAM_DIR")) return PathFromBytes(WithoutTrailingSlash(dir));
  std::string exe = ExecutablePath();
  size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return std::wstring();
  return PathFromBytes(slash == 0 ? "/" : exe.substr(0, slash));
}

std::wstring CommonAppDataFolder() {
  if (const char* dir = Env("VQ_COMMON_APPDATA")) return PathFromBytes(WithoutTrailingSlash(dir));
  if (const char* dir = Env("XDG_DATA_HOME")) return PathFromBytes(WithoutTrailingSlash(dir));
  return PathFromBytes(HomeFolder() + "/.local/share");
}

std::wstring UserHomeFolder(bool* fromEnvironment) {
  if (fromEnvironment) *fromEnvironment = false;
  const std::wstring home = PathFromEnvironment("HOME");
  if (!home.empty() && home[0] == L'/') {
    if (fromEnvironment) *fromEnvironment = true;
    return home;
  }
  passwd entry {};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir ||
      found->pw_dir[0] != '/')
    return std::wstring();
  bool exact = false;
  std::wstring text = PathFromBytes(WithoutTrailingSlash(found->pw_dir), &exact);
  return exact ? text : std::wstring();
}

std::wstring MachineDataFolder() { return JoinPath(CommonAppDataFolder(), L"Ombrecht Software"); }

std::wstring DriveRoot(wchar_t letter) {
  letter = ToUpperChar(letter);
  if (letter == L'C') return L"/";
  if (letter != L'D') return std::wstring();
  const char* set = std::getenv("VQ_DRIVE_D");
  std::string root = set ? WithoutTrailingSlash(set) : HomeFolder();
  if (root.empty() || !IsFolder(root)) return std::wstring();
  return PathFromBytes(root);
}

std::wstring DrivePath(wchar_t letter, const wchar_t* relative) {
  std::wstring root = DriveRoot(letter);
  if (root.empty()) return root;
  return JoinPath(root, relative);
}

std::wstring JoinPath(const std::wstring& folder, const wchar_t* name) {
  std::wstring head = folder;
  while (head.size() > 1 && head.back() == L'/') head.pop_back();
  std::wstring tail = name ? name : L"";
  tail.erase(0, tail.find_first_not_of(L'/') == std::wstring::npos ? tail.size()
                                                                   : tail.find_first_not_of(L'/'));
  if (tail.empty()) return head;
  if (head.empty()) return tail;
  return head == L"/" ? head + tail : head + L"/" + tail;
}

}  // namespace vq

DWORD GetLogicalDrives() {
  DWORD mask = 1u << 2;
  if (!vq::DriveRoot(L'D').empty()) mask |= 1u << 3;
  return mask;
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR out, DWORD size) {
  if (!out || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::string exe = ExecutablePath();
  size_t slash = exe.rfind('/');
  std::string name = slash == std::string::npos ? exe : exe.substr(slash + 1);
  std::wstring path = vq::JoinPath(vq::ProgramFolder(), vq::PathFromBytes(name).c_str());
  DWORD n = static_cast<DWORD>(path.size());
  if (n >= size) {
    std::wmemcpy(out, path.c_str(), size - 1);
    out[size - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::wmemcpy(out, path.c_str(), n + 1);
  SetLastError(ERROR_SUCCESS);
  return n;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size) {
  if (!out || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  wchar_t wide[4096];
  GetModuleFileNameW(module, wide, 4096);
  std::string path = vq::PathToBytes(wide);
  // Cut at a character boundary when the buffer is short.
  size_t n = path.size();
  if (n >= size) {
    n = size - 1;
    while (n > 0 && (static_cast<unsigned char>(path[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(out, path.data(), n);
  out[n] = '\0';
  SetLastError(n < path.size() ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS);
  return n < path.size() ? size : static_cast<DWORD>(n);
}

HRESULT SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR out) {
  if (!out) return E_INVALIDARG;
  int folder = csidl & ~CSIDL_FLAG_CREATE;
  if (folder != CSIDL_COMMON_APPDATA && folder != CSIDL_APPDATA) return E_INVALIDARG;
  std::wstring path = vq::CommonAppDataFolder();
  std::string narrow = vq::PathToBytes(path);
  if (!IsFolder(narrow)) {
    if (!(csidl & CSIDL_FLAG_CREATE) || MakeFolders(narrow) != 0) return E_FAIL;
  }
  return CopyOut(path, out);
}

BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR out, int csidl, BOOL create) {
  return SUCCEEDED(SHGetFolderPathW(owner, csidl | (create ? CSIDL_FLAG_CREATE : 0), nullptr,
                                    SHGFP_TYPE_CURRENT, out))
             ? TRUE
             : FALSE;
}

int SHCreateDirectoryExW(HWND, LPCWSTR path, const SECURITY_ATTRIBUTES*) {
  if (!path || path[0] != L'/') {
    SetLastError(ERROR_BAD_PATHNAME);
    return ERROR_BAD_PATHNAME;
  }
  std::string p = WithoutTrailingSlash(vq::PathToBytes(path));
  struct stat st {};
  if (stat(p.c_str(), &st) == 0) {
    int code = S_ISDIR(st.st_mode) ? ERROR_ALREADY_EXISTS : ERROR_FILE_EXISTS;
    SetLastError(static_cast<DWORD>(code));
    return code;
  }
  int err = MakeFolders(p);
  int code = static_cast<int>(err == 0 ? ERROR_SUCCESS
                                       : (err == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                         : vq::Win32ErrorFromErrno(err)));
  SetLastError(static_cast<DWORD>(code));
  return code;
}

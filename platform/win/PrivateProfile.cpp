#include "platform/win/PrivateProfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/IniDocument.h"
#include "platform/win/LastError.h"
#include "platform/win/PathEncoding.h"

namespace {

// Serialises the read-modify-write of profile files within the process.
std::mutex& ProfileMutex() {
  static std::mutex m;
  return m;
}

// The whole file, or nullopt with the last error set.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    vq::FailWithErrno(errno);
    return std::nullopt;
  }
  std::string data;
  char buffer[8192];
  while (true) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      vq::FailWithErrno(errno);
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    data.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return data;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes the new content to a temporary file beside the target and renames
// it over the target, keeping the target's permissions.
BOOL ReplaceFileContent(const std::string& path, const std::string& data, bool existed) {
  mode_t mode = 0644;
  struct stat st {};
  if (existed && stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    // A file that may not be written is not replaced either.
    int probe = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (probe < 0) return vq::FailWithErrno(errno);
    close(probe);
  }
  std::string tmp = path + ".XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) return vq::FailWithErrno(errno);
  bool ok = WriteAll(fd, data);
  int err = errno;
  if (ok && fchmod(fd, mode) != 0) {
    ok = false;
    err = errno;
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    unlink(tmp.c_str());
    return vq::FailWithErrno(err);
  }
  return TRUE;
}

bool HasLineBreak(const wchar_t* text) { return text && std::wcspbrk(text, L"\r\n"); }

bool IsStorableSection(const wchar_t* name) {
  return !HasLineBreak(name) && !std::wcschr(name, L']');
}

bool IsStorableKey(const wchar_t* name) {
  std::wstring_view k(name);
  size_t b = k.find_first_not_of(L" \t");
  if (b == std::wstring_view::npos) return false;
  wchar_t first = k[b];
  return !HasLineBreak(name) && !std::wcschr(name, L'=') && first != L'[' && first != L';' &&
         first != L'#';
}

// Copies a list of names, each ended by a zero and the list by a second.
DWORD CopyNameList(const std::vector<std::wstring>& names, LPWSTR out, DWORD size) {
  if (size == 0) return 0;
  if (size == 1) {
    out[0] = L'\0';
    return 0;
  }
  std::wstring packed;
  for (const std::wstring& n : names) {
    packed += n;
    packed.push_back(L'\0');
  }
  if (packed.size() + 1 <= size) {
    std::wmemcpy(out, packed.data(), packed.size());
    out[packed.size()] = L'\0';
    if (packed.empty()) out[1 < size ? 1 : 0] = L'\0';
    return static_cast<DWORD>(packed.size());
  }
  // Cut: size - 2 characters, then the two closing zeros.
  std::wmemcpy(out, packed.data(), size - 2);
  out[size - 2] = L'\0';
  out[size - 1] = L'\0';
  SetLastError(ERROR_MORE_DATA);
  return size - 2;
}

DWORD CopyValue(std::wstring_view value, LPWSTR out, DWORD size) {
  if (size == 0) return 0;
  size_t n = std::min<size_t>(value.size(), size - 1);
  std::wmemcpy(out, value.data(), n);
  out[n] = L'\0';
  if (n < value.size()) SetLastError(ERROR_MORE_DATA);
  return static_cast<DWORD>(n);
}

}  // namespace

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR out,
                               DWORD size, LPCWSTR fileName) {
  if (!out || !fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::wstring fallback = defaultValue ? defaultValue : L"";
  while (!fallback.empty() && fallback.back() == L' ') fallback.pop_back();

  std::optional<std::string> bytes;
  {
    std::lock_guard<std::mutex> lock(ProfileMutex());
    bytes = ReadWholeFile(vq::PathToBytes(fileName));
  }
  vq::IniDocument doc(bytes ? *bytes : std::string());
  if (!section) return CopyNameList(doc.SectionNames(), out, size);
  if (!key) return CopyNameList(doc.KeyNames(section), out, size);
  std::optional<std::wstring> value = doc.Get(section, key);
  if (!value) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return CopyValue(fallback, out, size);
  }
  SetLastError(ERROR_SUCCESS);
  return CopyValue(*value, out, size);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName) {
  wchar_t buffer[64];
  if (!section || !key ||
      GetPrivateProfileStringW(section, key, L"", buffer, 64, fileName) == 0)
    return static_cast<UINT>(defaultValue);
  return static_cast<UINT>(std::wcstol(buffer, nullptr, 10));
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
  if (!fileName || !*fileName || !section || !IsStorableSection(section) ||
      (key && !IsStorableKey(key)) || HasLineBreak(value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string path = vq::PathToBytes(fileName);
  std::lock_guard<std::mutex> lock(ProfileMutex());
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes && GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
  vq::IniDocument doc(bytes ? *bytes : std::string());
  if (!key)
    doc.RemoveSection(section);
  else if (!value)
    doc.RemoveKey(section, key);
  else
    doc.Set(section, key, value);
  std::string content = doc.Serialize();
  // Writing the value a key already holds leaves the file alone.
  if (bytes && *bytes == content) {
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  if (!ReplaceFileContent(path, content, bytes.has_value())) return FALSE;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

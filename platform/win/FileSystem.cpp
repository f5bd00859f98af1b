#include "platform/win/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "base/PathEncoding.h"
#include "platform/win/Encoding.h"
#include "platform/win/LastError.h"

namespace {

std::string Narrow(LPCWSTR path) { return path ? vq::PathToBytes(path) : std::string(); }

// 100 ns ticks since 1601-01-01, as FILETIME counts.
FILETIME ToFileTime(const timespec& ts) {
  constexpr uint64_t kEpochDelta = 116444736000000000ull;
  uint64_t ticks = kEpochDelta + static_cast<uint64_t>(ts.tv_sec) * 10000000ull +
                   static_cast<uint64_t>(ts.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

DWORD AttributesOf(const struct stat& st) {
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  if (!(st.st_mode & S_IWUSR)) {
    attributes |= FILE_ATTRIBUTE_READONLY;
    attributes &= ~FILE_ATTRIBUTE_NORMAL;
  }
  return attributes;
}

struct FoundEntry {
  std::wstring name;
  struct stat st;
};

// The open search: every match, handed out one by one.
struct FindState {
  std::vector<FoundEntry> entries;
  size_t next = 0;
};

void Fill(const FoundEntry& e, LPWIN32_FIND_DATAW data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = AttributesOf(e.st);
  data->ftCreationTime = ToFileTime(e.st.st_ctim);
  data->ftLastAccessTime = ToFileTime(e.st.st_atim);
  data->ftLastWriteTime = ToFileTime(e.st.st_mtim);
  uint64_t size = S_ISDIR(e.st.st_mode) ? 0 : static_cast<uint64_t>(e.st.st_size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  size_t n = std::min<size_t>(e.name.size(), MAX_PATH - 1);
  std::wmemcpy(data->cFileName, e.name.data(), n);
}

bool LessNoCase(const FoundEntry& a, const FoundEntry& b) {
  size_t n = std::min(a.name.size(), b.name.size());
  for (size_t i = 0; i < n; ++i) {
    wchar_t x = vq::ToLowerChar(a.name[i]), y = vq::ToLowerChar(b.name[i]);
    if (x != y) return x < y;
  }
  return a.name.size() < b.name.size();
}

bool IsRegularOrLink(const std::string& path, struct stat& st) {
  return stat(path.c_str(), &st) == 0;
}

BOOL CopyFileContent(const std::string& from, const std::string& to, bool failIfExists) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return vq::FailWithErrno(errno);
  struct stat st {};
  if (fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(in);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
  int out = open(to.c_str(), flags, st.st_mode & 0777);
  if (out < 0) {
    int err = errno;
    close(in);
    if (err == EEXIST) {
      SetLastError(ERROR_FILE_EXISTS);
      return FALSE;
    }
    return vq::FailWithErrno(err);
  }
  char buffer[65536];
  bool ok = true;
  int err = 0;
  while (ok) {
    ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) ok = false, err = errno;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) {
        ok = false;
        err = errno;
        break;
      }
      done += w;
    }
  }
  close(in);
  if (close(out) != 0 && ok) ok = false, err = errno;
  if (!ok) {
    unlink(to.c_str());
    return vq::FailWithErrno(err);
  }
  return TRUE;
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  if (!pattern || !*pattern || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string full = Narrow(pattern);
  size_t slash = full.rfind('/');
  std::string folder = slash == std::string::npos ? "." : full.substr(0, slash == 0 ? 1 : slash);
  std::string name = slash == std::string::npos ? full : full.substr(slash + 1);
  auto state = std::make_unique<FindState>();
  if (name.find_first_of("*?") == std::string::npos) {
    // A trailing '/' names nothing, except for the root folder itself.
    bool root = full == "/";
    FoundEntry e{vq::PathFromBytes(root ? full : name), {}};
    if ((name.empty() && !root) || !IsRegularOrLink(full, e.st)) {
      vq::FailWithErrno(name.empty() && !root ? ENOENT : errno);
      return INVALID_HANDLE_VALUE;
    }
    state->entries.push_back(e);
  } else {
    if (name == "*.*") name = "*";
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    while (dirent* d = readdir(dir)) {
      if (!std::strcmp(d->d_name, ".") || !std::strcmp(d->d_name, "..")) continue;
      if (fnmatch(name.c_str(), d->d_name, FNM_CASEFOLD | FNM_NOESCAPE) != 0) continue;
      // A name that is not UTF-8 is left out: its text would name another file.
      bool exact = false;
      FoundEntry e{vq::PathFromBytes(d->d_name, &exact), {}};
      if (exact && IsRegularOrLink(folder + "/" + d->d_name, e.st)) state->entries.push_back(e);
    }
    closedir(dir);
    if (state->entries.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    std::sort(state->entries.begin(), state->entries.end(), LessNoCase);
  }
  Fill(state->entries[0], data);
  state->next = 1;
  return state.release();
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data) {
  if (!find || find == INVALID_HANDLE_VALUE || !data) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  auto* state = static_cast<FindState*>(find);
  if (state->next >= state->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  Fill(state->entries[state->next++], data);
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  if (!find || find == INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete static_cast<FindState*>(find);
  return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR path) {
  struct stat st {};
  if (!path || !*path || stat(Narrow(path).c_str(), &st) != 0) {
    vq::FailWithErrno(path && *path ? errno : ENOENT);
    return INVALID_FILE_ATTRIBUTES;
  }
  return AttributesOf(st);
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
  std::string p = Narrow(path);
  struct stat st {};
  if (p.empty() || stat(p.c_str(), &st) != 0) return vq::FailWithErrno(p.empty() ? ENOENT : errno);
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
  if (mode != (st.st_mode & 07777) && chmod(p.c_str(), mode) != 0) return vq::FailWithErrno(errno);
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
  std::string p = Narrow(path);
  if (p.empty()) return vq::FailWithErrno(ENOENT);
  if (mkdir(p.c_str(), 0777) != 0) {
    if (errno == ENOENT) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return FALSE;
    }
    return vq::FailWithErrno(errno);
  }
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR path) {
  std::string p = Narrow(path);
  if (p.empty() || rmdir(p.c_str()) != 0) return vq::FailWithErrno(p.empty() ? ENOENT : errno);
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
  std::string p = Narrow(path);
  struct stat st {};
  if (p.empty() || lstat(p.c_str(), &st) != 0) return vq::FailWithErrno(p.empty() ? ENOENT : errno);
  if (S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (unlink(p.c_str()) != 0) return vq::FailWithErrno(errno);
  return TRUE;
}

BOOL MoveFileW(LPCWSTR from, LPCWSTR to) { return MoveFileExW(from, to, MOVEFILE_COPY_ALLOWED); }

BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  std::string src = Narrow(from), dst = Narrow(to);
  struct stat st {};
  if (src.empty() || dst.empty() || lstat(src.c_str(), &st) != 0)
    return vq::FailWithErrno(src.empty() || dst.empty() ? ENOENT : errno);
  struct stat target {};
  if (lstat(dst.c_str(), &target) == 0) {
    bool same = target.st_dev == st.st_dev && target.st_ino == st.st_ino;
    if (!same && (!(flags & MOVEFILE_REPLACE_EXISTING) || S_ISDIR(target.st_mode))) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
  }
  if (rename(src.c_str(), dst.c_str()) == 0) return TRUE;
  if (errno != EXDEV || S_ISDIR(st.st_mode) || !(flags & MOVEFILE_COPY_ALLOWED))
    return vq::FailWithErrno(errno);
  if (!CopyFileContent(src, dst, false)) return FALSE;
  if (unlink(src.c_str()) != 0) return vq::FailWithErrno(errno);
  return TRUE;
}

BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  std::string src = Narrow(from), dst = Narrow(to);
  if (src.empty() || dst.empty()) return vq::FailWithErrno(ENOENT);
  return CopyFileContent(src, dst, failIfExists != FALSE);
}

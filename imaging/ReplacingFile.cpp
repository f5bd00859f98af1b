#include "imaging/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>

namespace vq {

namespace {

// True when nothing is at path or a regular file is (symbolic links count as
// something else: replacing one would cut the link).
bool MayReplace(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode);
}

std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  char text[64];
  std::snprintf(text, sizeof text, "%d-%x-%llx", static_cast<int>(getpid()), counter.fetch_add(1),
                static_cast<unsigned long long>(ticks) & 0xFFFFFFull);
  return text;
}

}  // namespace

CReplacingFile::CReplacingFile(std::string target) : target_(std::move(target)) {}

CReplacingFile::~CReplacingFile() {
  CloseDescriptor();
  if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
}

bool CReplacingFile::Create() {
  if (target_.empty() || target_.back() == '/' || !MayReplace(target_)) return false;
  const std::size_t slash = target_.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  const std::string extension = dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
  // Long names are shortened so the temporary name stays within the name limit.
  const std::string stem = name.substr(0, std::min<std::size_t>(name.size(), 96));
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string candidate = folder + "." + stem + "." + UniqueSuffix() + ".tmp" + extension;
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // A replaced file keeps its permissions.
      struct stat existing {};
      if (stat(target_.c_str(), &existing) == 0) fchmod(fd, existing.st_mode & 07777);
      fd_ = fd;
      temp_ = std::move(candidate);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

int CReplacingFile::ReleaseDescriptor() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

void CReplacingFile::CloseDescriptor() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool CReplacingFile::Commit() {
  CloseDescriptor();
  if (temp_.empty() || committed_) return false;
  if (!MayReplace(target_) || rename(temp_.c_str(), target_.c_str()) != 0) {
    unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace vq

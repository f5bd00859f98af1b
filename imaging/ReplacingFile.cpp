#include "imaging/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "imaging/WorkFiles.h"

namespace vq {

namespace {

// True when nothing is at path or a regular file is (symbolic links count as
// something else: replacing one would cut the link).
bool MayReplace(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode);
}

}  // namespace

CReplacingFile::CReplacingFile(std::string target) : target_(std::move(target)) {}

CReplacingFile::~CReplacingFile() {
  CloseDescriptor();
  if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
}

bool CReplacingFile::Create() {
  if (target_.empty() || target_.back() == '/' || !MayReplace(target_)) return false;
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string candidate = WorkFileNameBeside(target_);
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

bool WriteReplacing(const std::string& target, const void* bytes, std::size_t size) {
  CReplacingFile file(target);
  if (!file.Create()) return false;
  const char* next = static_cast<const char*>(bytes);
  for (std::size_t left = size; left > 0;) {
    const ssize_t written = write(file.Descriptor(), next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    next += written;
    left -= static_cast<std::size_t>(written);
  }
  return file.Commit();
}

}  // namespace vq

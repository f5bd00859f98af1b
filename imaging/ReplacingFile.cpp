#include "imaging/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "imaging/WorkFiles.h"

namespace vq {

namespace {

const DiskCalls kSystemCalls{::fsync, ::close};
std::atomic<const DiskCalls*> g_disk{&kSystemCalls};

// True when nothing is at path or a regular file is (symbolic links count as
// something else: replacing one would cut the link).
bool MayReplace(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  return S_ISREG(st.st_mode);
}

// A sync the file system does not offer for this kind of file is no failure.
bool Synced(int result) { return result == 0 || errno == EINVAL || errno == EROFS; }

// Syncs and closes a descriptor; false when either reports an error (a late
// write error, a quota or a network folder, shows here first).
bool SyncAndClose(int fd) {
  const bool synced = Synced(Disk().fsync(fd));
  const bool closed = Disk().close(fd) == 0 || errno == EINTR;
  return synced && closed;
}

// Renames without ever replacing: fails with EEXIST when something is at
// `to`.
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  // A file system without it: a hard link is made only where nothing is.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return 0;
  }
  if (errno != EPERM && errno != EOPNOTSUPP) return -1;
  // Nor with links (some removable media): a check just before the rename.
  struct stat st {};
  if (lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return rename(from.c_str(), to.c_str());
}

// Renames `from` to `target` or to the first free "<stem>_<n><extension>";
// the path it got, empty on failure.
std::string RenameToFreeName(const std::string& from, const std::string& target) {
  const size_t slash = target.find_last_of('/');
  const size_t dot = target.find_last_of('.');
  const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  const std::string stem = extension ? target.substr(0, dot) : target;
  const std::string tail = extension ? target.substr(dot) : std::string();
  std::string candidate = target;
  for (int n = 1; RenameNoReplace(from, candidate) != 0; ++n) {
    if (errno != EEXIST) return std::string();
    candidate = stem + "_" + std::to_string(n) + tail;
  }
  return candidate;
}

// Syncs the file at `path` through a descriptor of its own.
bool SyncFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  return fd >= 0 && SyncAndClose(fd);
}

}  // namespace

const DiskCalls& Disk() { return *g_disk.load(); }

void SetDiskCallsForTesting(const DiskCalls* calls) { g_disk = calls ? calls : &kSystemCalls; }

bool SyncFolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return fd >= 0 && SyncAndClose(fd);
}

bool MoveToFreeName(const std::string& from, const std::string& target, std::string* placed) {
  placed->clear();
  if (!SyncFile(from)) return false;
  *placed = RenameToFreeName(from, target);
  return !placed->empty() && SyncFolderOf(*placed);
}

CReplacingFile::CReplacingFile(std::string target, Placing placing) : target_(std::move(target)), placing_(placing) {}

CReplacingFile::~CReplacingFile() {
  CloseDescriptor();
  if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
}

bool CReplacingFile::Create() {
  const bool replacing = placing_ == Placing::kReplace;
  if (target_.empty() || target_.back() == '/' || (replacing && !MayReplace(target_))) return false;
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string candidate = WorkFileNameBeside(target_);
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      // A replaced file keeps its permissions.
      struct stat existing {};
      if (replacing && stat(target_.c_str(), &existing) == 0) fchmod(fd, existing.st_mode & 07777);
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

bool CReplacingFile::CloseDescriptor() {
  if (fd_ < 0) return !failed_;
  const int fd = fd_;
  fd_ = -1;
  if (Disk().close(fd) != 0 && errno != EINTR) failed_ = true;
  return !failed_;
}

bool CReplacingFile::Commit() {
  if (temp_.empty() || committed_) return false;
  // The content goes to disk through a descriptor of its own when the
  // writer wrote by name or closed its own.
  const int fd = ReleaseDescriptor();
  const bool onDisk = (fd >= 0 ? SyncAndClose(fd) : SyncFile(temp_)) && !failed_;
  if (onDisk) {
    if (placing_ == Placing::kFreeName)
      placed_ = RenameToFreeName(temp_, target_);
    else if (MayReplace(target_) && rename(temp_.c_str(), target_.c_str()) == 0)
      placed_ = target_;
  }
  if (placed_.empty()) {
    const int error = errno;
    unlink(temp_.c_str());
    temp_.clear();
    errno = error;
    return false;
  }
  committed_ = true;
  // The new name is durable only once the folder is.
  return SyncFolderOf(placed_);
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

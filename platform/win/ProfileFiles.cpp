#include "platform/win/ProfileFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "base/BoundedFile.h"
#include "imaging/ReplacingFile.h"
#include "platform/win/LastError.h"
#include "platform/win/Singletons.h"

namespace vq {
namespace {

// Files of coarse timestamps (two seconds on FAT) can be changed again
// within one tick; a file modified this recently is compared byte for byte.
constexpr time_t kSettleSeconds = 2;
constexpr size_t kCachedFiles = 8;

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Sets the last error for a file that is not read.
void FailWithRefusal(FileRefusal refusal, int error) {
  switch (refusal) {
    case FileRefusal::kMissing: FailWithErrno(ENOENT); break;
    case FileRefusal::kNotAFile: SetLastError(ERROR_ACCESS_DENIED); break;
    case FileRefusal::kTooLarge: SetLastError(ERROR_NOT_ENOUGH_MEMORY); break;
    default: FailWithErrno(error ? error : EIO); break;
  }
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

}  // namespace

bool ProfileFiles::Stamp::operator==(const Stamp& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

ProfileFiles& ProfileFiles::Instance() {
  static auto* files = static_cast<ProfileFiles*>(
      vqplatform::KeepSingleton(new ProfileFiles, [](void* kept) { delete static_cast<ProfileFiles*>(kept); }));
  return *files;
}

ProfileFiles::Stamp ProfileFiles::StampOf(const struct stat& st) {
  return Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool ProfileFiles::SettledAt(const Stamp& stamp, const timespec& now) {
  const time_t latest = std::max(stamp.modified.tv_sec, stamp.changed.tv_sec);
  return latest + kSettleSeconds < now.tv_sec;
}

ProfileFiles::Entry* ProfileFiles::Find(const std::string& path) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->path != path) continue;
    entries_.splice(entries_.begin(), entries_, it);
    return &entries_.front();
  }
  return nullptr;
}

void ProfileFiles::Forget(const std::string& path) {
  entries_.remove_if([&](const Entry& e) { return e.path == path; });
}

void ProfileFiles::Remember(Entry entry) {
  Forget(entry.path);
  entries_.push_front(std::move(entry));
  if (entries_.size() > kCachedFiles) entries_.pop_back();
}

std::optional<ProfileContent> ProfileFiles::Read(const std::string& path) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  // Never blocks on a FIFO or a device, never more than the bound.
  const BoundedOpen opened = OpenBoundedFile(path, kMaxProfileFileBytes);
  if (!opened) {
    Forget(path);
    FailWithRefusal(opened.refusal, opened.error);
    return std::nullopt;
  }
  const int fd = opened.fd;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int err = errno;
    close(fd);
    FailWithErrno(err);
    return std::nullopt;
  }
  const Stamp stamp = StampOf(st);
  std::optional<ProfileContent> known;
  if (Entry* entry = Find(path)) {
    if (entry->settled && entry->stamp == stamp) {
      close(fd);
      return entry->content;
    }
    known = entry->content;
  }
  std::optional<std::string> bytes(std::in_place);
  int error = 0;
  const FileRefusal refusal = ReadAtMost(fd, kMaxProfileFileBytes, &*bytes, &error);
  // A file that changed while it was read is not taken as settled.
  struct stat after {};
  const bool steady = fstat(fd, &after) == 0 && StampOf(after) == stamp;
  close(fd);
  if (refusal != FileRefusal::kNone) {
    Forget(path);
    FailWithRefusal(refusal, error);
    return std::nullopt;
  }
  Entry entry{path, stamp, steady && SettledAt(stamp, now), {}};
  if (known && *known->bytes == *bytes) {
    entry.content = *known;  // the same lines: nothing to parse
  } else {
    auto document = std::make_shared<const IniDocument>(*bytes);
    entry.content = ProfileContent{std::make_shared<const std::string>(std::move(*bytes)), std::move(document)};
  }
  ProfileContent content = entry.content;
  Remember(std::move(entry));
  return content;
}

BOOL ProfileFiles::Replace(const std::string& path, const std::string* current, IniDocument document) {
  std::string data = document.Serialize();
  if (current && *current == data) return TRUE;
  if (current) {
    // A file that may not be written is not replaced either.
    const int probe = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (probe < 0 && errno != ENOENT) return FailWithErrno(errno);
    if (probe >= 0) close(probe);
  }
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  // A linked file is replaced where it lies; the link stays.
  std::string target = path;
  if (char* real = realpath(path.c_str(), nullptr)) {
    target = real;
    free(real);
  }
  CReplacingFile file(target);
  struct stat written {};
  errno = 0;
  const bool ok = file.Create() && WriteAll(file.Descriptor(), data) && fstat(file.Descriptor(), &written) == 0 &&
                  file.Commit();
  if (!ok) {
    const int err = errno ? errno : EIO;
    Forget(path);
    return FailWithErrno(err);
  }
  // Kept as written unless another writer replaced it in the meantime.
  struct stat placed {};
  if (stat(path.c_str(), &placed) == 0 && placed.st_dev == written.st_dev && placed.st_ino == written.st_ino) {
    const Stamp stamp = StampOf(placed);
    Remember(Entry{path, stamp, SettledAt(stamp, now),
                   ProfileContent{std::make_shared<const std::string>(std::move(data)),
                                  std::make_shared<const IniDocument>(std::move(document))}});
  } else {
    Forget(path);
  }
  return TRUE;
}

}  // namespace vq

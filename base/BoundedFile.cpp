#include "base/BoundedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vq {

BoundedOpen OpenBoundedFile(const std::string& path, std::uint64_t maxBytes) {
  BoundedOpen opened;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    opened.error = errno;
    // ENXIO: a socket, or a FIFO the open could not take without blocking.
    opened.refusal = errno == ENOENT ? FileRefusal::kMissing
                     : errno == ENXIO ? FileRefusal::kNotAFile
                                      : FileRefusal::kFailed;
    return opened;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    opened.error = errno;
    opened.refusal = FileRefusal::kFailed;
  } else if (!S_ISREG(info.st_mode)) {
    opened.refusal = FileRefusal::kNotAFile;
  } else if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    opened.refusal = FileRefusal::kTooLarge;
  } else {
    // A regular file: reads on it wait for the disk as usual.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    opened.fd = fd;
    opened.size = static_cast<std::uint64_t>(info.st_size);
    return opened;
  }
  ::close(fd);
  return opened;
}

FileRefusal ReadAtMost(int fd, std::uint64_t maxBytes, std::string* bytes, int* error) {
  bytes->clear();
  if (error) *error = 0;
  struct stat info {};
  const std::uint64_t expected = ::fstat(fd, &info) == 0 && info.st_size > 0 ? info.st_size : 0;
  // One byte more than the bound tells a file that is larger, or grew.
  const std::uint64_t room = maxBytes + 1;
  bytes->resize(static_cast<std::size_t>(std::min(room, std::max<std::uint64_t>(expected + 1, 4096))));
  std::size_t got = 0;
  FileRefusal refusal = FileRefusal::kNone;
  while (refusal == FileRefusal::kNone) {
    if (got == bytes->size()) {
      if (got >= room) {
        refusal = FileRefusal::kTooLarge;
        break;
      }
      bytes->resize(static_cast<std::size_t>(std::min<std::uint64_t>(room, 2 * got)));
    }
    const ssize_t n = ::read(fd, bytes->data() + got, bytes->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (error) *error = errno;
      refusal = FileRefusal::kFailed;
    } else if (n == 0) {
      break;
    } else {
      got += static_cast<std::size_t>(n);
    }
  }
  if (refusal == FileRefusal::kNone) {
    bytes->resize(got);
  } else {
    std::string().swap(*bytes);
  }
  return refusal;
}

FileRefusal ReadBoundedFile(const std::string& path, std::uint64_t maxBytes, std::string* bytes, int* error) {
  bytes->clear();
  if (error) *error = 0;
  const BoundedOpen file = OpenBoundedFile(path, maxBytes);
  if (!file) {
    if (error) *error = file.error;
    return file.refusal;
  }
  const FileRefusal refusal = ReadAtMost(file.fd, maxBytes, bytes, error);
  ::close(file.fd);
  return refusal;
}

std::string RefusalText(FileRefusal refusal, std::uint64_t maxBytes, int error) {
  switch (refusal) {
    case FileRefusal::kNone: return "read";
    case FileRefusal::kMissing: return "not found";
    case FileRefusal::kNotAFile: return "not a regular file";
    case FileRefusal::kTooLarge:
      return maxBytes >= (1u << 20) ? "larger than " + std::to_string(maxBytes >> 20) + " MB"
                                    : "larger than " + std::to_string(maxBytes) + " bytes";
    case FileRefusal::kFailed: break;
  }
  return error ? std::strerror(error) : "unreadable";
}

}  // namespace vq

#pragma once
// Hands a fuzz input to code that reads files: written as a new file each
// time (the last one unlinked first), never by truncating and rewriting one,
// which makes ext4 flush the old data at close on every input.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzinput {

inline bool WriteFreshFile(const std::string& path, const uint8_t* data, size_t size) {
  unlink(path.c_str());
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return close(fd) == 0 && done == size;
}

}  // namespace fuzzinput

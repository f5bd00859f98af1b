#pragma once
// Opening and reading the files the programs read (their data file, INI
// files, pictures, the recognition model): the open never blocks (a FIFO or
// a device under the name cannot stall it), only a regular file is taken,
// and never more than a bound fitting the kind of file. Failures are
// return values with the reason.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace vq {

enum class FileRefusal {
  kNone,
  kMissing,   // nothing at the path
  kNotAFile,  // a folder, FIFO, device or socket
  kTooLarge,  // a regular file above the bound
  kFailed,    // the open, stat or read failed otherwise (error in `error`)
};

struct BoundedOpen {
  int fd = -1;             // blocking again, close-on-exec; -1 when refused
  FileRefusal refusal = FileRefusal::kNone;
  int error = 0;           // errno of a kFailed or kMissing open
  std::uint64_t size = 0;  // the file's size when opened
  explicit operator bool() const { return fd >= 0; }
};

// Opens `path` (UTF-8, links followed) for reading when it is a regular
// file of at most `maxBytes`. The caller closes the descriptor.
BoundedOpen OpenBoundedFile(const std::string& path, std::uint64_t maxBytes);

// What is left of an open file into *bytes, up to EOF: kTooLarge (nothing
// kept) when there is more than `maxBytes`, kFailed with the error.
FileRefusal ReadAtMost(int fd, std::uint64_t maxBytes, std::string* bytes, int* error = nullptr);

// The whole file into *bytes under the same rules; a file that grows while
// it is read is cut at the bound and refused as kTooLarge.
FileRefusal ReadBoundedFile(const std::string& path, std::uint64_t maxBytes, std::string* bytes,
                            int* error = nullptr);

// Why a file was refused, in a few English words ("not a regular file",
// "larger than 16 MB", the system's text of the error).
std::string RefusalText(FileRefusal refusal, std::uint64_t maxBytes, int error = 0);

}  // namespace vq

#pragma once
// The profile files of the process as last read or written, so that reading
// key after key does not parse the whole file again each time. Every use
// still sees the file as it is on disk: an entry is taken only while the
// file's device, inode, size and modification and change times (in
// nanoseconds) are those it was read with, and a file modified so recently
// that a later change could keep those stamps is compared byte for byte.
// Files are replaced by writing beside them and renaming.
#include <sys/stat.h>

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/win/IniDocument.h"
#include "platform/win/WinTypes.h"

namespace vq {

// Settings files are small; a larger one is refused, not read into memory.
inline constexpr std::uint64_t kMaxProfileFileBytes = 4 << 20;

// One state of a profile file: its bytes and its parsed lines.
struct ProfileContent {
  std::shared_ptr<const std::string> bytes;
  std::shared_ptr<const IniDocument> document;
};

class ProfileFiles {
 public:
  static ProfileFiles& Instance();

  // Held around every Read and Replace, so a read-modify-write of one
  // process is not interleaved with another thread's.
  std::mutex& Lock() { return lock_; }

  // The file's content now; nullopt, with the last error set, when it
  // cannot be read (ERROR_FILE_NOT_FOUND when it does not exist). Opened
  // without blocking: anything but a regular file (ERROR_ACCESS_DENIED)
  // and a file of more than 4 MB (ERROR_NOT_ENOUGH_MEMORY) are refused.
  std::optional<ProfileContent> Read(const std::string& path);

  // Makes `document` the whole file, `current` being its bytes now (null
  // when there is no file): written beside it and renamed over it, keeping
  // its permissions; nothing is written when the bytes stay the same. FALSE,
  // with the last error set, when the file cannot be written; the old file
  // is then left as it was.
  BOOL Replace(const std::string& path, const std::string* current, IniDocument document);

 private:
  // What tells one state of a file from another.
  struct Stamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    bool operator==(const Stamp& other) const;
  };
  struct Entry {
    std::string path;
    Stamp stamp;
    // Modified long enough before it was read that any later change gives
    // other stamps; otherwise the bytes are compared on the next use.
    bool settled = false;
    ProfileContent content;
  };

  ProfileFiles() = default;
  static Stamp StampOf(const struct stat& st);
  static bool SettledAt(const Stamp& stamp, const timespec& now);
  Entry* Find(const std::string& path);
  void Remember(Entry entry);
  void Forget(const std::string& path);

  std::mutex lock_;
  std::list<Entry> entries_;  // most recently used first, a few files at most
};

}  // namespace vq

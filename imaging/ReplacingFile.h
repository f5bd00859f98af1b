#pragma once
// Writes a file through a temporary sibling: the target is replaced only when
// the whole new content is on disk (flushed, synced and closed without an
// error), and the rename itself is synced, so neither a failed write nor a
// power loss ever leaves a damaged or empty file under the target's name.
// Only a regular file is ever replaced.
#include <cstddef>
#include <string>

namespace vq {

class CReplacingFile {
 public:
  // What Commit does when a file is at the target by then.
  enum class Placing {
    kReplace,   // the new content replaces it
    kFreeName,  // the new file goes beside it, under the first free name
  };
  explicit CReplacingFile(std::string target, Placing placing = Placing::kReplace);
  ~CReplacingFile();  // removes the temporary file unless committed
  CReplacingFile(const CReplacingFile&) = delete;
  CReplacingFile& operator=(const CReplacingFile&) = delete;

  // Creates the temporary file beside the target (same extension, so writers
  // that choose the format by name still work). False when the folder cannot
  // take a new file or a target to be replaced is not a regular file.
  bool Create();
  // Descriptor of the temporary file, open for writing (-1 before Create or
  // after ReleaseDescriptor/CloseDescriptor).
  int Descriptor() const { return fd_; }
  // Hands the descriptor to the caller (for fdopen); the caller closes it
  // and must not commit when that close fails.
  int ReleaseDescriptor();
  // Closes the descriptor (for writers that reopen the file by name); false
  // when the close reports an error, which fails the commit too.
  bool CloseDescriptor();
  const std::string& TempPath() const { return temp_; }
  // Syncs the temporary file's content to disk (whoever wrote it), closes
  // it, moves it over the target and syncs the folder. False when any step
  // fails or the target has meanwhile become something other than a regular
  // file; the temporary file is then removed and, unless only the folder
  // sync failed, the target is as it was.
  bool Commit();
  // Where a committed file is: the target, or the free name it got.
  const std::string& PlacedPath() const { return placed_; }

 private:
  std::string target_;
  Placing placing_;
  std::string placed_;
  std::string temp_;
  int fd_ = -1;
  bool failed_ = false;
  bool committed_ = false;
};

// Writes bytes to `target` through a work file beside it; false, with an
// existing target untouched and no work file left, when that fails.
bool WriteReplacing(const std::string& target, const void* bytes, std::size_t size);

// Moves a finished file to `target`, or, when something is there, to the
// first free "<stem>_<n><extension>" beside it, never over another file:
// synced before, the folder synced after. *placed receives the path it got
// (empty when it stayed where it was); false when any step failed.
bool MoveToFreeName(const std::string& from, const std::string& target, std::string* placed);

// Syncs the folder that holds `path` (its last '/'), so a file renamed into
// it survives a power loss. True where the file system cannot sync folders.
bool SyncFolderOf(const std::string& path);

// The system calls that make files durable here. Tests replace them to make
// a sync or a close fail; nullptr restores the system's own.
struct DiskCalls {
  int (*fsync)(int fd);
  int (*close)(int fd);
};
void SetDiskCallsForTesting(const DiskCalls* calls);
// The calls in use (the system's own unless a test replaced them).
const DiskCalls& Disk();

}  // namespace vq

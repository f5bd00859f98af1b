#pragma once
// Writes a file through a temporary sibling: the target is replaced only when
// the whole new content is on disk, so a failed write never damages an
// existing file of that name. Only a regular file is ever replaced.
#include <cstddef>
#include <string>

namespace vq {

class CReplacingFile {
 public:
  explicit CReplacingFile(std::string target);
  ~CReplacingFile();  // removes the temporary file unless committed
  CReplacingFile(const CReplacingFile&) = delete;
  CReplacingFile& operator=(const CReplacingFile&) = delete;

  // Creates the temporary file beside the target (same extension, so writers
  // that choose the format by name still work). False when the folder cannot
  // take a new file or the target exists and is not a regular file.
  bool Create();
  // Descriptor of the temporary file, open for writing (-1 before Create or
  // after ReleaseDescriptor/CloseDescriptor).
  int Descriptor() const { return fd_; }
  // Hands the descriptor to the caller (for fdopen); the caller closes it.
  int ReleaseDescriptor();
  void CloseDescriptor();
  const std::string& TempPath() const { return temp_; }
  // Moves the temporary file over the target. False (and the temporary file
  // removed) when the target has meanwhile become something other than a
  // regular file or the rename fails.
  bool Commit();

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
  bool committed_ = false;
};

// Writes bytes to `target` through a work file beside it; false, with an
// existing target untouched and no work file left, when that fails.
bool WriteReplacing(const std::string& target, const void* bytes, std::size_t size);

}  // namespace vq

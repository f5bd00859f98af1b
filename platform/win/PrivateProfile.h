#pragma once
// Profile (INI) files: GetPrivateProfileString and WritePrivateProfileString
// with the Windows semantics the application relies on. Names match without
// regard to letter case; a missing section or key is appended, an existing
// value is replaced in place; lines that are not touched stay as they were.
// The file is 8-bit text in the ANSI code page (UTF-8) and is replaced as a
// whole on every write, so a failed write leaves the old file intact. A file
// is parsed again only when it changed on disk (see ProfileFiles.h).
#include <memory>

#include "platform/win/WinTypes.h"

// Copies the value (or `defaultValue`, trailing blanks removed, when the
// file, section or key is absent) into `out`, cut to size - 1 characters;
// returns the number of characters copied. With a null section the names
// of all sections, with a null key the names of the section's keys are
// returned, each ended by a zero and the list by a second zero.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR out,
                               DWORD size, LPCWSTR fileName);

// The value read as a decimal number (leading blanks and a sign allowed,
// reading stops at the first other character), or `defaultValue` when
// absent.
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName);

// Writes key=value; a null value removes the key, a null key the whole
// section. The file is created when missing (its folder is not). FALSE with
// GetLastError on failure: ERROR_INVALID_PARAMETER for a name or value
// that cannot be stored on one line, or the file system's error.
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);

namespace vqplatform {

struct ProfileBatchState;

// Collects the profile writes this thread makes to one file and writes the
// file once, at Commit or when the batch ends, so a record saved key by key
// replaces the file once. Meanwhile reads of that file on this thread see
// the collected writes; writes of other threads are kept (the collected ones
// are applied to the file as it is at Commit). A batch opened while this
// thread has one open joins that one.
class ProfileWriteBatch {
 public:
  explicit ProfileWriteBatch(LPCWSTR fileName);
  ~ProfileWriteBatch();
  ProfileWriteBatch(const ProfileWriteBatch&) = delete;
  ProfileWriteBatch& operator=(const ProfileWriteBatch&) = delete;

  // Writes what was collected; TRUE when nothing was or the file was
  // written, FALSE with the last error set otherwise. Later writes are made
  // one by one again.
  BOOL Commit();

 private:
  std::unique_ptr<ProfileBatchState> state_;
};

}  // namespace vqplatform

#define GetPrivateProfileString GetPrivateProfileStringW
#define GetPrivateProfileInt GetPrivateProfileIntW
#define WritePrivateProfileString WritePrivateProfileStringW

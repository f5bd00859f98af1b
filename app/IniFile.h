#pragma once
// The accessor of one INI file, and the folder helpers of the start-up.
// Depends on the platform layer only (the TWAIN data source uses it too).
#include <memory>
#include <string>
#include <string_view>

#include "platform/mfc/CString.h"

namespace vq {
class IniDocument;
}

class CIniFile {
 public:
  CIniFile() = default;
  CIniFile(const CIniFile&) = default;
  CIniFile& operator=(const CIniFile&) = default;

  // An accessor of INI text held in memory instead of a file: the same
  // parser and rules, no file touched. Copies share the text, as copies of
  // a bound accessor share the file.
  static CIniFile InMemory(std::string_view bytes);
  // The text in memory as a file would hold it; empty for a file's accessor.
  std::string MemoryBytes() const;

  // Binds the accessor when a file exists at `path`; otherwise false and
  // the old binding kept.
  bool SetPath(const wchar_t* path);
  const CString& GetPath() const { return path_; }

  // The value (at most 259 characters); empty when the key, section or
  // file is absent.
  CString GetString(const wchar_t* section, const wchar_t* key) const;

  // Writes the value; without `overwrite` only a key that exists already is
  // written (an absent key gives true and leaves the file alone). False when
  // the write was refused.
  bool WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value,
                   bool overwrite) const;

 private:
  // The value, or `whenAbsent` when the key, section or file is absent.
  CString Read(const wchar_t* section, const wchar_t* key, const wchar_t* whenAbsent) const;

  CString path_;
  std::shared_ptr<vq::IniDocument> memory_;
};

// True when a folder or a file exists at the path (a trailing '/' or '\'
// does not matter).
bool FolderExists(const wchar_t* path);

// Creates the folder and every missing level above it; true when the folder
// exists afterwards.
bool CreateFolderTree(const wchar_t* path);

// The default image folder, created when needed: "Ketterby" on drive D:,
// else in the per-machine data folder (or that folder itself), else beside
// the program; empty when none can be made.
CString DefaultImageFolder();

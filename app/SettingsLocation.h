#pragma once
// Where the program keeps Sys.ini: beside the program, as a build folder
// does, or in $XDG_CONFIG_HOME/Vorquell (by default ~/.config/Vorquell) for
// an installed program and wherever the program folder cannot be written.
// A file in the configuration folder is read first.
#include "base/BoundedFile.h"
#include "platform/mfc/CString.h"

// The file the install step puts into the program folder; a program folder
// without it (a build folder) is not an installed one.
inline constexpr const wchar_t* kInstalledMarkerName = L"installed";

// $XDG_CONFIG_HOME/Vorquell when that is absolute, else ~/.config/Vorquell
// (the home of $HOME when absolute, else of the user's password entry, which
// is reported on the error stream); empty when there is no home at all.
CString ConfigFolder();

// Whether a file can be written at `path`: the file itself when it exists,
// else its folder.
bool CanWriteFile(const CString& path);

// Where the settings are kept, and what the user is told about it.
struct SettingsPlace {
  // Read and written; empty when no place can keep the settings.
  CString file;
  // A Sys.ini beside the program that cannot be kept there: its values
  // are read from it once and go on in `file`.
  CString carriedFrom;
  // A Sys.ini that cannot be used (a folder, FIFO or device, a file of more
  // than 4 MB, a link loop), where one was looked for, and why.
  CString notAFile;
  vq::FileRefusal why = vq::FileRefusal::kNotAFile;
  int error = 0;  // the errno of a stat that failed (why is kFailed)
};

// Why `place.notAFile` cannot be used, in the language of the settings.
CString WhyUnusable(const SettingsPlace& place, int language);

// The settings' place for a program folder; `canWrite` decides whether a
// path in the program folder can be written. The configuration folder is
// made when the file goes there.
SettingsPlace FindSettingsPlace(const CString& programFolder, bool (*canWrite)(const CString&) = CanWriteFile);

// FindSettingsPlace(...).file.
CString SettingsFilePath(const CString& programFolder, bool (*canWrite)(const CString&) = CanWriteFile);

// What the user is told about the place once the settings were read
// (`kept`: the file could be bound), in the language of the settings;
// empty when there is nothing to tell. Values carried to the configuration
// folder are told of once: the next start reads them there.
CString SettingsPlaceNotice(const SettingsPlace& place, bool kept, int language);

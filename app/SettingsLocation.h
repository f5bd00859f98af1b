#pragma once
// Where the program keeps Sys.ini: beside the program, or in
// $XDG_CONFIG_HOME/Vorquell (by default ~/.config/Vorquell) when the program
// folder cannot be written, as for an installed program. A file in the
// configuration folder is read first.
#include "platform/mfc/CString.h"

// $XDG_CONFIG_HOME/Vorquell, else $HOME/.config/Vorquell.
CString ConfigFolder();

// Whether a file can be written at `path`: the file itself when it exists,
// else its folder.
bool CanWriteFile(const CString& path);

// The settings file for a program folder; `canWrite` decides whether a
// path in the program folder can be written. The configuration folder is
// made when the file goes there.
CString SettingsFilePath(const CString& programFolder, bool (*canWrite)(const CString&) = CanWriteFile);

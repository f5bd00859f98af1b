#pragma once
// What the user is told when files could not be written under a base path
// (a path without extension): a name longer than the file system takes, or
// a folder that cannot be written, each with what is at fault.
#include "platform/mfc/CString.h"

// True when a file named after the base (its extension and page suffix
// added) is too long for the file system.
bool NameTooLong(const CString& basePath);

// The message in a language (0 Simplified Chinese, 1 Traditional Chinese,
// 2 English): the name when it is too long, else the folder.
CString UnsavedFilesMessage(const CString& basePath, int language);

#pragma once
// Pieces of capture names: the date, time and counter texts, folders made
// for a file path, and base paths that never name an earlier capture.
#include "platform/mfc/CString.h"
#include "platform/win/WinTypes.h"

// "%04d%02d%02d" (year, month, day).
CString DateText(const SYSTEMTIME& time);
// "%02d%02d%02d" (hour, minute, second).
CString TimeText(const SYSTEMTIME& time);
// "%05d" of the counter.
CString CounterText(int counter);

// Whether a name holds a character no capture's file name may hold: one
// of \ / : * ? < > | or a control character.
bool HasForbiddenNameCharacter(const CString& name);

// Makes the folders up to the last separator of a file path, by absolute
// path (the current folder is never changed). True when they exist
// afterwards, and for a path without a folder part.
bool CreateFolderChain(const wchar_t* path);

// The base path itself when nothing in its folder is named after it (the
// base, base + "." + extension, or base + "_" + two-digit page); else the
// first free base + "_" + n (n from 1), so a capture never replaces an
// earlier one that got the same name within the same second.
CString UnusedBasePath(const CString& base);
// UnusedBasePath that never gives a base twice in this process, though
// nothing was written under the first yet: two work names made within the
// same second.
CString ClaimUnusedBasePath(const CString& base);

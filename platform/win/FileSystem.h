#pragma once
// Files and folders: the Win32 calls the application makes, over POSIX.
// Paths are UTF-8 file names with '/' separators. Name patterns of
// FindFirstFileW match without regard to letter case, as on Windows.
#include "platform/win/WinTypes.h"

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_COPY_ALLOWED 0x00000002u

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

// Folder + name pattern ('*' and '?'; "*.*" is every name); a path without
// wildcards finds that one file or folder. "." and ".." are not reported.
// Entries come in name order. INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND
// (or ERROR_PATH_NOT_FOUND) when nothing matches.
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);  // ERROR_NO_MORE_FILES at the end
BOOL FindClose(HANDLE find);

// DIRECTORY for folders, else NORMAL; READONLY when the owner may not
// write. INVALID_FILE_ATTRIBUTES when nothing is there.
DWORD GetFileAttributesW(LPCWSTR path);
// READONLY takes the owner's write permission away; anything else gives it back.
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR path);  // empty folders only
BOOL DeleteFileW(LPCWSTR path);       // files only
// Fails with ERROR_ALREADY_EXISTS when the target exists (unless
// MOVEFILE_REPLACE_EXISTING); files move between file systems by copying.
BOOL MoveFileW(LPCWSTR from, LPCWSTR to);
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);
BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists);

#define WIN32_FIND_DATA WIN32_FIND_DATAW
#define FindFirstFile FindFirstFileW
#define FindNextFile FindNextFileW
#define GetFileAttributes GetFileAttributesW
#define SetFileAttributes SetFileAttributesW
#define CreateDirectory CreateDirectoryW
#define RemoveDirectory RemoveDirectoryW
#define DeleteFile DeleteFileW
#define MoveFile MoveFileW
#define MoveFileEx MoveFileExW
#define CopyFile CopyFileW

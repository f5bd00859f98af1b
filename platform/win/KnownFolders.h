#pragma once
// Where things live on Linux: the program folder, the per-machine data
// folder and the folders that stand for drive letters.
//   program folder   $VQ_PROGRAM_DIR, else the executable's folder
//   per-machine      $VQ_COMMON_APPDATA, else $XDG_DATA_HOME, else ~/.local/share
//   home (~)         $HOME when absolute, else the user's password entry
//   programs' data   the per-machine folder + "/Ombrecht Software"
//   drive C:         "/"
//   drive D:         $VQ_DRIVE_D (default: the home folder; set empty: no D:)
// Paths never end in '/', except the root "/".
#include <string>

#include "platform/win/WinTypes.h"

#define CSIDL_APPDATA 0x001a
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_FLAG_CREATE 0x8000
#define SHGFP_TYPE_CURRENT 0

namespace vq {

std::wstring ProgramFolder();
// $HOME when it is an absolute folder, else the home folder of the user's
// password entry; empty when neither is (never a relative folder).
// *fromEnvironment tells whether $HOME gave it.
std::wstring UserHomeFolder(bool* fromEnvironment = nullptr);
std::wstring CommonAppDataFolder();
// The programs' per-machine data folder, where their work files and logs
// live (the folder they would work in on Windows). Not created here.
std::wstring MachineDataFolder();

// The folder standing for a drive letter ('C' or 'D', either case); empty
// when the machine has no such drive (D: is there only while its folder
// exists).
std::wstring DriveRoot(wchar_t letter);

// The folder of a drive joined with a relative path: DrivePath('D',
// L"Ketterby") is "$VQ_DRIVE_D/Ketterby". Empty when there is no such drive.
std::wstring DrivePath(wchar_t letter, const wchar_t* relative);

// Joins two path pieces with exactly one '/'.
std::wstring JoinPath(const std::wstring& folder, const wchar_t* name);
inline std::wstring JoinPath(const wchar_t* folder, const wchar_t* name) {
  return JoinPath(std::wstring(folder ? folder : L""), name);
}

}  // namespace vq

// Bit 0 is A:, bit 2 C:, bit 3 D:.
DWORD GetLogicalDrives();

// The executable's path: the program folder + "/" + the executable's name.
// A null module means the program. Cut to size - 1 characters (with
// ERROR_INSUFFICIENT_BUFFER) when the buffer is short.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR out, DWORD size);
// The same path in the ANSI code page (UTF-8), `size` bytes at most.
DWORD GetModuleFileNameA(HMODULE module, LPSTR out, DWORD size);

// CSIDL_COMMON_APPDATA (and CSIDL_APPDATA, the same folder here), with
// CSIDL_FLAG_CREATE creating it. `out` holds MAX_PATH characters.
HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR out);
BOOL SHGetSpecialFolderPathW(HWND owner, LPWSTR out, int csidl, BOOL create);

// Creates a folder with every missing level above it. ERROR_SUCCESS, or
// ERROR_ALREADY_EXISTS / ERROR_FILE_EXISTS when it is there already,
// ERROR_BAD_PATHNAME for a relative path, else the file system's error.
int SHCreateDirectoryExW(HWND owner, LPCWSTR path, const SECURITY_ATTRIBUTES* security);

#define GetModuleFileName GetModuleFileNameW
#define SHGetFolderPath SHGetFolderPathW
#define SHGetSpecialFolderPath SHGetSpecialFolderPathW
#define SHCreateDirectoryEx SHCreateDirectoryExW

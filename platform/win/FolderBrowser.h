#pragma once
// The folder browser. Every request is recorded. An installed hook answers
// it (tests give the chosen folder, or "" to cancel); otherwise, with a
// display, the layer's folder dialog asks the user, and without one the
// request is cancelled.
#include <functional>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

#define BIF_RETURNONLYFSDIRS 0x00000001
#define BIF_DONTGOBELOWDOMAIN 0x00000002
#define BIF_STATUSTEXT 0x00000004
#define BIF_EDITBOX 0x00000010
#define BIF_VALIDATE 0x00000020
#define BIF_NEWDIALOGSTYLE 0x00000040
#define BIF_USENEWUI (BIF_NEWDIALOGSTYLE | BIF_EDITBOX)

// An item id list holds the chosen folder's path; free it with CoTaskMemFree.
struct ITEMIDLIST {
  wchar_t path[1];
};
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using BFFCALLBACK = int (*)(HWND, UINT, LPARAM, LPARAM);

struct BROWSEINFOW {
  HWND hwndOwner;
  PCIDLIST_ABSOLUTE pidlRoot;
  LPWSTR pszDisplayName;  // receives the folder's name (MAX_PATH characters)
  LPCWSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
  int iImage;
};
using BROWSEINFO = BROWSEINFOW;
using LPBROWSEINFOW = BROWSEINFOW*;

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW info);
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path);
inline PIDLIST_ABSOLUTE SHBrowseForFolder(LPBROWSEINFOW i) { return SHBrowseForFolderW(i); }
inline BOOL SHGetPathFromIDList(PCIDLIST_ABSOLUTE l, LPWSTR p) { return SHGetPathFromIDListW(l, p); }

namespace vqplatform {

struct FolderBrowserRecord {
  HWND owner;
  std::wstring title;
  UINT flags;
};
using FolderBrowserAnswer = std::function<std::wstring(const FolderBrowserRecord&)>;
void SetFolderBrowserAnswer(FolderBrowserAnswer answer);
std::vector<FolderBrowserRecord> FolderBrowserLog();
void ClearFolderBrowserLog();

// The layer's folder dialog, run modally: the title, the path being looked
// at (editable), its subfolders (a double click opens one, ".." goes up),
// OK and Cancel. Returns the chosen folder, or "" when cancelled. OK takes
// the edited path only when it names a folder.
std::wstring RunFolderBrowserDialog(HWND owner, const std::wstring& title, const std::wstring& start);

}  // namespace vqplatform

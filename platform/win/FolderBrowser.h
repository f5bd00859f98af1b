#pragma once
// The folder browser. Without a display it is answered by a hook (tests
// give the chosen folder, or "" to cancel) and every request is recorded;
// with no hook it is cancelled.
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

}  // namespace vqplatform

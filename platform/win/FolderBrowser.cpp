#include "platform/win/FolderBrowser.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "base/PathEncoding.h"
#include "platform/display/Headless.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"

namespace vqplatform {
namespace {

std::mutex mutex;
FolderBrowserAnswer answerHook;
std::vector<FolderBrowserRecord> log;

// The last part of a path, for the display name.
std::wstring LeafOf(std::wstring path) {
  while (path.size() > 1 && path.back() == L'/') path.pop_back();
  size_t slash = path.rfind(L'/');
  return slash == std::wstring::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

}  // namespace

void SetFolderBrowserAnswer(FolderBrowserAnswer answer) {
  std::lock_guard lock(mutex);
  answerHook = std::move(answer);
}

std::vector<FolderBrowserRecord> FolderBrowserLog() {
  std::lock_guard lock(mutex);
  return log;
}

void ClearFolderBrowserLog() {
  std::lock_guard lock(mutex);
  log.clear();
}

namespace {

enum { kTitle = 100, kFolders = 101, kPath = 102 };

bool IsFolder(const std::wstring& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(vq::ToFsPath(path), error);
}

std::vector<std::wstring> Subfolders(const std::wstring& folder) {
  std::vector<std::wstring> names;
  std::error_code error;
  for (std::filesystem::directory_iterator entries(vq::ToFsPath(folder), error), end; !error && entries != end;
       entries.increment(error)) {
    // A name that is not UTF-8 could not be opened or chosen again: left out.
    bool exact = false;
    std::wstring name = vq::FromFsPath(entries->path().filename(), &exact);
    if (exact && !name.empty() && name[0] != L'.' && entries->is_directory(error)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct FolderDialog {
  std::wstring current;
  std::vector<std::wstring> rows;  // ".." first unless at the root

  void Show(HWND dialog, const std::wstring& folder) {
    current = vq::FromFsPath(vq::ToFsPath(folder).lexically_normal());
    if (current.size() > 1 && current.back() == L'/') current.pop_back();
    rows = Subfolders(current);
    if (current != L"/") rows.insert(rows.begin(), L"..");
    HWND list = GetDlgItem(dialog, kFolders);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < rows.size(); ++i) {
      LVITEMW item{};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(i);
      item.pszText = rows[i].data();
      SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    SetDlgItemTextW(dialog, kPath, current.c_str());
  }

  void Open(HWND dialog, int row) {
    if (row < 0 || static_cast<size_t>(row) >= rows.size()) return;
    const std::wstring name = rows[static_cast<size_t>(row)];
    const std::filesystem::path folder = vq::ToFsPath(current);
    Show(dialog, vq::FromFsPath(name == L".." ? folder.parent_path() : folder / vq::ToFsPath(name)));
  }
};

}  // namespace

std::wstring RunFolderBrowserDialog(HWND owner, const std::wstring& title, const std::wstring& start) {
  DialogTemplate browser{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT, 0, 0, 0, 220, 200,
                         L"Browse for Folder", L"MS Shell Dlg", 9,
                         {
                             {kTitle, WC_STATIC, title, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 7, 7, 206, 18},
                             {kFolders, WC_LISTVIEW, L"", WS_VISIBLE | WS_TABSTOP | LVS_LIST | LVS_SINGLESEL,
                              WS_EX_CLIENTEDGE, 7, 28, 206, 126},
                             {kPath, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 7, 158, 206, 14},
                             {IDOK, WC_BUTTON, L"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 105, 179, 50, 14},
                             {IDCANCEL, WC_BUTTON, L"Cancel", WS_VISIBLE | WS_TABSTOP, 0, 163, 179, 50, 14},
                         }};
  FolderDialog state;
  std::wstring chosen;
  HWND dialog = CreateDialogFromTemplate(
      browser, owner,
      [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        if (message == WM_INITDIALOG) {
          state.Show(hwnd, IsFolder(start) ? start : L"/");
          *result = TRUE;
          return true;
        }
        if (message == WM_NOTIFY) {
          auto* header = reinterpret_cast<const NMHDR*>(lParam);
          if (header->idFrom == kFolders && header->code == NM_DBLCLK)
            state.Open(hwnd, reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
          return false;
        }
        if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
        if (LOWORD(wParam) == IDOK) {
          wchar_t path[MAX_PATH] = {};
          GetDlgItemTextW(hwnd, kPath, path, MAX_PATH);
          if (!IsFolder(path)) return true;  // stays open on a path that is no folder
          chosen = path;
          EndDialog(hwnd, IDOK);
          return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
          EndDialog(hwnd, IDCANCEL);
          return true;
        }
        return false;
      },
      0);
  if (!dialog) return L"";
  return RunModalDialog(dialog, owner) == IDOK ? chosen : L"";
}

}  // namespace vqplatform

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW info) {
  if (!info) return nullptr;
  vqplatform::FolderBrowserRecord record{info->hwndOwner, info->lpszTitle ? info->lpszTitle : L"", info->ulFlags};
  vqplatform::FolderBrowserAnswer answer;
  {
    std::lock_guard lock(vqplatform::mutex);
    vqplatform::log.push_back(record);
    answer = vqplatform::answerHook;
  }
  std::wstring chosen;
  if (answer) {
    chosen = answer(record);
  } else if (!vqplatform::IsHeadless()) {
    chosen = vqplatform::RunFolderBrowserDialog(info->hwndOwner, record.title, vq::PathFromEnvironment("HOME"));
  }
  if (chosen.empty() || chosen.size() >= MAX_PATH) return nullptr;
  if (info->pszDisplayName) {
    std::wstring leaf = vqplatform::LeafOf(chosen).substr(0, MAX_PATH - 1);
    std::wmemcpy(info->pszDisplayName, leaf.c_str(), leaf.size() + 1);
  }
  // The same allocator as CoTaskMemAlloc.
  auto* list = static_cast<ITEMIDLIST*>(std::malloc((chosen.size() + 1) * sizeof(wchar_t)));
  if (!list) return nullptr;
  std::wmemcpy(list->path, chosen.c_str(), chosen.size() + 1);
  return list;
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path) {
  if (!list || !path) return FALSE;
  size_t length = std::wcslen(list->path);
  if (length >= MAX_PATH) return FALSE;
  std::wmemcpy(path, list->path, length + 1);
  return TRUE;
}

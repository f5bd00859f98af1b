#include "platform/win/FolderBrowser.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>

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
  std::wstring chosen = answer ? answer(record) : std::wstring();
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

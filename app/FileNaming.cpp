#include "app/FileNaming.h"

#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <system_error>

#include "app/IniFile.h"
#include "base/PathEncoding.h"

namespace {

const wchar_t kForbidden[] = L"\\/:*?<>|";

int LastSeparator(const CString& path) {
  int slash = path.ReverseFind(L'/'), backslash = path.ReverseFind(L'\\');
  return slash > backslash ? slash : backslash;
}

bool IsPageSuffix(const std::wstring& rest) {
  // "_NN" or "_NN." + extension
  if (rest.size() < 3 || rest[0] != L'_' || !iswdigit(rest[1]) || !iswdigit(rest[2])) return false;
  return rest.size() == 3 || rest[3] == L'.';
}

// Whether an entry of the folder belongs to a capture saved under `stem`.
bool NamesCapture(const std::wstring& entry, const std::wstring& stem) {
  if (entry.compare(0, stem.size(), stem) != 0) return false;
  std::wstring rest = entry.substr(stem.size());
  return rest.empty() || rest[0] == L'.' || IsPageSuffix(rest);
}

bool IsTaken(const CString& base) {
  int separator = LastSeparator(base);
  std::wstring folder = separator >= 0 ? base.Left(separator).str() : L".";
  std::wstring stem = separator >= 0 ? base.Mid(separator + 1).str() : base.str();
  if (folder.empty()) folder = L"/";
  std::error_code error;
  for (std::filesystem::directory_iterator entries(vq::ToFsPath(folder), error), end; !error && entries != end;
       entries.increment(error)) {
    bool exact = false;  // a name that is not UTF-8 is no name this program writes
    const std::wstring name = vq::FromFsPath(entries->path().filename(), &exact);
    if (exact && NamesCapture(name, stem)) return true;
  }
  return false;
}

// The base itself, or the first base + "_" + n (n from 1), that names no
// capture in its folder and is not among `claimed`.
CString FreeBasePath(const CString& base, const std::set<std::wstring>* claimed) {
  const auto taken = [claimed](const CString& candidate) {
    return (claimed && claimed->count(candidate.str())) || IsTaken(candidate);
  };
  if (base.IsEmpty() || !taken(base)) return base;
  for (int n = 1;; ++n) {
    CString candidate;
    candidate.Format(L"%s_%d", base.GetString(), n);
    if (!taken(candidate)) return candidate;
  }
}

}  // namespace

bool HasForbiddenNameCharacter(const CString& name) {
  if (name.FindOneOf(kForbidden) >= 0) return true;
  for (int i = 0; i < name.GetLength(); ++i)
    if (name[i] < 0x20 || name[i] == 0x7F) return true;
  return false;
}

CString DateText(const SYSTEMTIME& time) {
  CString text;
  text.Format(L"%04d%02d%02d", time.wYear, time.wMonth, time.wDay);
  return text;
}

CString TimeText(const SYSTEMTIME& time) {
  CString text;
  text.Format(L"%02d%02d%02d", time.wHour, time.wMinute, time.wSecond);
  return text;
}

CString CounterText(int counter) {
  CString text;
  text.Format(L"%05d", counter);
  return text;
}

bool CreateFolderChain(const wchar_t* path) {
  if (!path) return false;
  CString text(path);
  int separator = LastSeparator(text);
  if (separator < 0) return true;
  if (separator == 0) return true;
  return CreateFolderTree(text.Left(separator));
}

CString UnusedBasePath(const CString& base) { return FreeBasePath(base, nullptr); }

CString ClaimUnusedBasePath(const CString& base) {
  static std::mutex mutex;
  static CString claimedFor;
  static std::set<std::wstring> claimed;
  std::lock_guard lock(mutex);
  // The claims of another base (an earlier second) are done with.
  if (claimedFor != base) {
    claimed.clear();
    claimedFor = base;
  }
  const CString free = FreeBasePath(base, &claimed);
  claimed.insert(free.str());
  return free;
}

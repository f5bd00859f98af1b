#include "platform/win/PrivateProfile.h"

#include <cstring>
#include <cwchar>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/PathEncoding.h"
#include "platform/win/IniDocument.h"
#include "platform/win/LastError.h"
#include "platform/win/ProfileFiles.h"
#include "platform/win/Singletons.h"

namespace vqplatform {

// The writes of one open ProfileWriteBatch.
struct ProfileBatchState {
  std::string path;
  std::vector<std::function<void(vq::IniDocument&)>> edits;
  std::shared_ptr<const vq::IniDocument> base;  // the file's lines the view was made from
  std::optional<vq::IniDocument> view;          // base with the edits applied
};

}  // namespace vqplatform

namespace {

using vqplatform::ProfileBatchState;

thread_local ProfileBatchState* tOpenBatch = nullptr;

ProfileBatchState* BatchFor(const std::string& path) {
  return tOpenBatch && tOpenBatch->path == path ? tOpenBatch : nullptr;
}

const std::shared_ptr<const vq::IniDocument>& NoLines() {
  static const auto* none =
      vqplatform::MakeSingleton<std::shared_ptr<const vq::IniDocument>>(std::make_shared<const vq::IniDocument>());
  return *none;
}

// The file's content, or none when it does not exist; nullopt, with the
// last error set, when it exists and cannot be read. Called with the lock.
std::optional<vq::ProfileContent> CurrentContent(const std::string& path) {
  std::optional<vq::ProfileContent> content = vq::ProfileFiles::Instance().Read(path);
  if (content) return content;
  if (GetLastError() != ERROR_FILE_NOT_FOUND) return std::nullopt;
  return vq::ProfileContent{nullptr, NoLines()};
}

// Copies a list of names, each ended by a zero and the list by a second.
DWORD CopyNameList(const std::vector<std::wstring>& names, LPWSTR out, DWORD size) {
  if (size == 0) return 0;
  if (size == 1) {
    out[0] = L'\0';
    return 0;
  }
  std::wstring packed;
  for (const std::wstring& n : names) {
    packed += n;
    packed.push_back(L'\0');
  }
  if (packed.size() + 1 <= size) {
    std::wmemcpy(out, packed.data(), packed.size());
    out[packed.size()] = L'\0';
    if (packed.empty()) out[1 < size ? 1 : 0] = L'\0';
    return static_cast<DWORD>(packed.size());
  }
  // Cut: size - 2 characters, then the two closing zeros.
  std::wmemcpy(out, packed.data(), size - 2);
  out[size - 2] = L'\0';
  out[size - 1] = L'\0';
  SetLastError(ERROR_MORE_DATA);
  return size - 2;
}

DWORD CopyValue(std::wstring_view value, LPWSTR out, DWORD size) {
  if (size == 0) return 0;
  size_t n = std::min<size_t>(value.size(), size - 1);
  std::wmemcpy(out, value.data(), n);
  out[n] = L'\0';
  if (n < value.size()) SetLastError(ERROR_MORE_DATA);
  return static_cast<DWORD>(n);
}

}  // namespace

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR out,
                               DWORD size, LPCWSTR fileName) {
  if (!out || !fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::wstring fallback = defaultValue ? defaultValue : L"";
  while (!fallback.empty() && fallback.back() == L' ') fallback.pop_back();

  const std::string path = vq::PathToBytes(fileName);
  std::shared_ptr<const vq::IniDocument> lines = NoLines();
  const vq::IniDocument* viewed = nullptr;
  if (ProfileBatchState* batch = BatchFor(path); batch && batch->view) {
    viewed = &*batch->view;
  } else {
    vq::ProfileFiles& files = vq::ProfileFiles::Instance();
    std::lock_guard<std::mutex> lock(files.Lock());
    if (std::optional<vq::ProfileContent> content = files.Read(path)) lines = content->document;
  }
  const vq::IniDocument& doc = viewed ? *viewed : *lines;
  if (!section) return CopyNameList(doc.SectionNames(), out, size);
  if (!key) return CopyNameList(doc.KeyNames(section), out, size);
  std::optional<std::wstring> value = doc.Get(section, key);
  if (!value) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return CopyValue(fallback, out, size);
  }
  SetLastError(ERROR_SUCCESS);
  return CopyValue(*value, out, size);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR fileName) {
  wchar_t buffer[64];
  if (!section || !key ||
      GetPrivateProfileStringW(section, key, L"", buffer, 64, fileName) == 0)
    return static_cast<UINT>(defaultValue);
  return static_cast<UINT>(std::wcstol(buffer, nullptr, 10));
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
  if (!fileName || !*fileName || !vq::IniDocument::CanStore(section, key, value)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string path = vq::PathToBytes(fileName);
  std::function<void(vq::IniDocument&)> edit;
  if (!key)
    edit = [s = std::wstring(section)](vq::IniDocument& doc) { doc.RemoveSection(s); };
  else if (!value)
    edit = [s = std::wstring(section), k = std::wstring(key)](vq::IniDocument& doc) { doc.RemoveKey(s, k); };
  else
    edit = [s = std::wstring(section), k = std::wstring(key), v = std::wstring(value)](vq::IniDocument& doc) {
      doc.Set(s, k, v);
    };
  vq::ProfileFiles& files = vq::ProfileFiles::Instance();
  if (ProfileBatchState* batch = BatchFor(path)) {
    if (!batch->view) {
      std::lock_guard<std::mutex> lock(files.Lock());
      std::optional<vq::ProfileContent> content = CurrentContent(path);
      if (!content) return FALSE;
      batch->base = content->document;
      batch->view = *batch->base;
    }
    edit(*batch->view);
    batch->edits.push_back(std::move(edit));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  std::lock_guard<std::mutex> lock(files.Lock());
  std::optional<vq::ProfileContent> content = CurrentContent(path);
  if (!content) return FALSE;
  vq::IniDocument doc = *content->document;
  edit(doc);
  if (!files.Replace(path, content->bytes.get(), std::move(doc))) return FALSE;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

namespace vqplatform {

ProfileWriteBatch::ProfileWriteBatch(LPCWSTR fileName) {
  if (tOpenBatch || !fileName || !*fileName) return;  // joins the open one
  state_ = std::make_unique<ProfileBatchState>();
  state_->path = vq::PathToBytes(fileName);
  tOpenBatch = state_.get();
}

ProfileWriteBatch::~ProfileWriteBatch() { Commit(); }

BOOL ProfileWriteBatch::Commit() {
  if (!state_) return TRUE;
  std::unique_ptr<ProfileBatchState> batch = std::move(state_);
  tOpenBatch = nullptr;
  if (batch->edits.empty()) return TRUE;
  vq::ProfileFiles& files = vq::ProfileFiles::Instance();
  std::lock_guard<std::mutex> lock(files.Lock());
  std::optional<vq::ProfileContent> content = CurrentContent(batch->path);
  if (!content) return FALSE;
  vq::IniDocument doc;
  if (content->document == batch->base) {
    doc = std::move(*batch->view);  // nobody changed the file meanwhile
  } else {
    doc = *content->document;
    for (const auto& edit : batch->edits) edit(doc);
  }
  if (!files.Replace(batch->path, content->bytes.get(), std::move(doc))) return FALSE;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace vqplatform

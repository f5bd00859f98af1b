#include "base/PathEncoding.h"

#include <cstdlib>

#include "base/TextEncoding.h"

namespace vq {

namespace {
constexpr wchar_t kReplacementChar = 0xFFFD;
}

std::string PathToBytes(std::wstring_view path) {
  if (path.find(kReplacementChar) != std::wstring_view::npos) return std::string();
  std::string bytes = WideToUtf8(path);
  // '?' stands in for what UTF-8 cannot hold (and would be a wildcard); a
  // round trip shows whether it did.
  if (bytes.find('?') != std::string::npos && Utf8ToWide(bytes) != path) return std::string();
  return bytes;
}

std::wstring PathFromBytes(std::string_view bytes, bool* exact) {
  std::wstring text = Utf8ToWide(bytes);
  if (exact) *exact = PathToBytes(text) == bytes;
  return text;
}

std::filesystem::path ToFsPath(std::wstring_view path) { return std::filesystem::path(PathToBytes(path)); }

std::wstring FromFsPath(const std::filesystem::path& path, bool* exact) {
  return PathFromBytes(path.native(), exact);
}

std::wstring PathFromEnvironment(const char* variable) {
  const char* value = std::getenv(variable);
  if (!value || !*value) return std::wstring();
  std::string_view bytes(value);
  while (bytes.size() > 1 && bytes.back() == '/') bytes.remove_suffix(1);
  bool exact = false;
  std::wstring text = PathFromBytes(bytes, &exact);
  return exact ? text : std::wstring();
}

}  // namespace vq

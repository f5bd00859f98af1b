#include "imaging/NarrowPath.h"

namespace vq {

namespace {

// Appends one code point as UTF-8; false for surrogates and values past U+10FFFF.
bool AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    if (c >= 0xD800 && c <= 0xDFFF) return false;
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c <= 0x10FFFF) {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool NarrowPath(const wchar_t* path, std::size_t bufferSize, std::string* narrow) {
  if (path == nullptr || narrow == nullptr) return false;
  std::string result;
  for (const wchar_t* p = path; *p != L'\0'; ++p) {
    if (!AppendUtf8(static_cast<char32_t>(*p), &result)) return false;
    if (result.size() + 1 > bufferSize) return false;
  }
  *narrow = std::move(result);
  return true;
}

}  // namespace vq

#include "platform/win/Encoding.h"

#include <locale.h>
#include <wctype.h>

#include <cstring>

#include "platform/win/LastError.h"
#include "platform/win/Singletons.h"

namespace {

bool IsGbk(UINT codePage) { return codePage == CP_GBK; }

bool IsUtf8(UINT codePage) {
  return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_THREAD_ACP ||
         codePage == CP_UTF8;
}

}  // namespace

namespace vq {

namespace {
locale_t UnicodeLocale() {
  static locale_t loc = [] {
    locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (made) vqplatform::KeepSingleton(made, [](void* kept) { freelocale(static_cast<locale_t>(kept)); });
    return made;
  }();
  return loc;
}
}  // namespace

wchar_t ToUpperChar(wchar_t ch) {
  if (locale_t loc = UnicodeLocale()) return static_cast<wchar_t>(towupper_l(static_cast<wint_t>(ch), loc));
  return (ch >= L'a' && ch <= L'z') ? ch - L'a' + L'A' : ch;
}

wchar_t ToLowerChar(wchar_t ch) {
  if (locale_t loc = UnicodeLocale()) return static_cast<wchar_t>(towlower_l(static_cast<wint_t>(ch), loc));
  return (ch >= L'A' && ch <= L'Z') ? ch - L'A' + L'a' : ch;
}

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && ToLowerChar(a[i]) != ToLowerChar(b[i])) return false;
  return true;
}

}  // namespace vq

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcBytes, LPWSTR dst,
                        int dstChars) {
  if (!src || srcBytes < -1 || dstChars < 0 || (!IsUtf8(codePage) && !IsGbk(codePage))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = srcBytes == -1 ? std::strlen(src) + 1 : static_cast<size_t>(srcBytes);
  bool lossless = true;
  std::wstring text = vq::DecodeText(IsGbk(codePage) ? vq::TextEncoding::kGbk : vq::TextEncoding::kUtf8,
                                     std::string_view(src, length), &lossless);
  if (!lossless && (flags & MB_ERR_INVALID_CHARS)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  if (length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!dst || dstChars == 0) return static_cast<int>(text.size());
  if (text.size() > static_cast<size_t>(dstChars)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::wmemcpy(dst, text.data(), text.size());
  return static_cast<int>(text.size());
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcChars, LPSTR dst,
                        int dstBytes, LPCSTR defaultChar, BOOL* usedDefaultChar) {
  if (!src || srcChars < -1 || dstBytes < 0 || (!IsUtf8(codePage) && !IsGbk(codePage))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = srcChars == -1 ? std::wcslen(src) + 1 : static_cast<size_t>(srcChars);
  if (length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool lossless = true;
  std::string bytes;
  if (IsGbk(codePage)) {
    bytes = vq::EncodeText(vq::TextEncoding::kGbk, std::wstring_view(src, length),
                           defaultChar ? std::string_view(defaultChar) : "?", &lossless);
  } else {
    bytes = vq::EncodeText(vq::TextEncoding::kUtf8, std::wstring_view(src, length), "\xEF\xBF\xBD", &lossless);
    if (!lossless && (flags & WC_ERR_INVALID_CHARS)) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
  }
  if (usedDefaultChar) *usedDefaultChar = (!lossless && IsGbk(codePage)) ? TRUE : FALSE;
  if (!dst || dstBytes == 0) return static_cast<int>(bytes.size());
  if (bytes.size() > static_cast<size_t>(dstBytes)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(dst, bytes.data(), bytes.size());
  return static_cast<int>(bytes.size());
}

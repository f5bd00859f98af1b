#include "platform/win/Encoding.h"

#include <array>
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/win/LastError.h"
#include "platform/win/Singletons.h"

namespace {

constexpr wchar_t kReplacementChar = 0xFFFD;

// The conversion descriptors of this thread, opened once per direction and
// reset before each use.
class IconvCache {
 public:
  ~IconvCache() {
    for (auto& e : entries_) iconv_close(e.cd);
  }
  iconv_t Get(const char* to, const char* from) {
    for (auto& e : entries_)
      if (e.to == to && e.from == from) {
        iconv(e.cd, nullptr, nullptr, nullptr, nullptr);
        return e.cd;
      }
    iconv_t cd = iconv_open(to, from);
    if (cd != reinterpret_cast<iconv_t>(-1)) entries_.push_back({to, from, cd});
    return cd;
  }

 private:
  struct Entry {
    std::string to, from;
    iconv_t cd;
  };
  std::vector<Entry> entries_;
};

iconv_t OpenConversion(const char* to, const char* from) {
  thread_local IconvCache cache;
  return cache.Get(to, from);
}

bool IsAscii(std::string_view bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool IsAscii(std::wstring_view text) {
  for (wchar_t c : text)
    if (c < 0 || c >= 0x80) return false;
  return true;
}

// Runs iconv over the whole input. At an input unit that cannot be
// converted, `replacement` (already in the target encoding) is written and
// `skip` input bytes are passed over. Returns false when anything was
// replaced.
bool RunIconv(const char* to, const char* from, const char* in, size_t inBytes,
              std::string_view replacement, size_t skip, std::string& out) {
  out.clear();
  iconv_t cd = OpenConversion(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  bool lossless = true;
  std::array<char, 4096> buffer;
  char* inPtr = const_cast<char*>(in);
  size_t inLeft = inBytes;
  while (true) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    size_t rc = inLeft ? iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft)
                       : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (rc != static_cast<size_t>(-1)) {
      if (inLeft == 0) break;
      continue;
    }
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL (a truncated sequence at the end): replace one unit.
    lossless = false;
    out.append(replacement);
    size_t step = std::min(skip, inLeft);
    inPtr += step;
    inLeft -= step;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (inLeft == 0) {
      outPtr = buffer.data();
      outLeft = buffer.size();
      iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
      out.append(buffer.data(), buffer.size() - outLeft);
      break;
    }
  }
  return lossless;
}

std::wstring DecodeToWide(const char* encoding, std::string_view bytes, bool* lossless) {
  if (IsAscii(bytes)) {  // the same in UTF-8 and GBK
    if (lossless) *lossless = true;
    return std::wstring(bytes.begin(), bytes.end());
  }
  std::string raw;
  const wchar_t replacement = kReplacementChar;
  bool ok = RunIconv("WCHAR_T", encoding, bytes.data(), bytes.size(),
                     std::string_view(reinterpret_cast<const char*>(&replacement), sizeof replacement),
                     1, raw);
  if (lossless) *lossless = ok;
  std::wstring text(raw.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), raw.data(), text.size() * sizeof(wchar_t));
  return text;
}

std::string EncodeFromWide(const char* encoding, std::wstring_view text,
                           std::string_view replacement, bool* lossless) {
  if (IsAscii(text)) {
    if (lossless) *lossless = true;
    return std::string(text.begin(), text.end());
  }
  std::string out;
  bool ok = RunIconv(encoding, "WCHAR_T", reinterpret_cast<const char*>(text.data()),
                     text.size() * sizeof(wchar_t), replacement, sizeof(wchar_t), out);
  if (lossless) *lossless = ok;
  return out;
}

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

std::wstring Utf8ToWide(std::string_view bytes) { return DecodeToWide("UTF-8", bytes, nullptr); }

std::string WideToUtf8(std::wstring_view text) {
  return EncodeFromWide("UTF-8", text, "?", nullptr);
}

std::wstring GbkToWide(std::string_view bytes, bool* lossless) {
  return DecodeToWide("GBK", bytes, lossless);
}

std::string WideToGbk(std::wstring_view text, bool* lossless) {
  return EncodeFromWide("GBK", text, "?", lossless);
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
  std::wstring text = DecodeToWide(IsGbk(codePage) ? "GBK" : "UTF-8",
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
    bytes = EncodeFromWide("GBK", std::wstring_view(src, length),
                           defaultChar ? std::string_view(defaultChar) : "?", &lossless);
  } else {
    bytes = EncodeFromWide("UTF-8", std::wstring_view(src, length), "\xEF\xBF\xBD", &lossless);
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

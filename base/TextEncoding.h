#pragma once
// Text conversions between wide text (wchar_t, UTF-32 here) and the byte
// encodings the programs meet: UTF-8, the encoding of names and of most
// text, and GBK, for the few byte strings that must be GBK. Every
// conversion goes through iconv; nothing depends on the C locale.
#include <string>
#include <string_view>

namespace vq {

enum class TextEncoding { kUtf8, kGbk };

// The one check that bytes are UTF-8 as the standard defines it: no
// surrogates, nothing above U+10FFFF, no overlong forms. Every UTF-8
// conversion here decodes by the same rule (iconv's decoder lets such
// forms through).
bool IsUtf8(std::string_view bytes);

// Bytes that are not valid in the encoding become U+FFFD. *lossless is
// false when anything was replaced.
std::wstring DecodeText(TextEncoding encoding, std::string_view bytes, bool* lossless = nullptr);
// Characters the encoding cannot hold (an unpaired surrogate in UTF-8, most
// of Unicode in GBK) become `replacement`, given in the target encoding.
std::string EncodeText(TextEncoding encoding, std::wstring_view text, std::string_view replacement,
                       bool* lossless = nullptr);

// UTF-8 <-> wide; bytes that are not UTF-8 become U+FFFD, and what has no
// UTF-8 form (a surrogate, a value above U+10FFFF) becomes "?".
inline std::wstring Utf8ToWide(std::string_view bytes) { return DecodeText(TextEncoding::kUtf8, bytes); }
inline std::string WideToUtf8(std::wstring_view text) { return EncodeText(TextEncoding::kUtf8, text, "?"); }

// GBK <-> wide; invalid bytes become U+FFFD, characters outside GBK '?'.
inline std::wstring GbkToWide(std::string_view bytes, bool* lossless = nullptr) {
  return DecodeText(TextEncoding::kGbk, bytes, lossless);
}
inline std::string WideToGbk(std::wstring_view text, bool* lossless = nullptr) {
  return EncodeText(TextEncoding::kGbk, text, "?", lossless);
}

}  // namespace vq

#include "base/TextEncoding.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vq {
namespace {

constexpr wchar_t kReplacementChar = 0xFFFD;

const char* IconvName(TextEncoding encoding) { return encoding == TextEncoding::kGbk ? "GBK" : "UTF-8"; }

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

constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// The code point of the well-formed UTF-8 sequence at bytes[*at], moving
// *at past it; kNotUtf8 (and one byte on) where none starts there. Only the
// standard's forms count: no surrogates, nothing above U+10FFFF, no overlong
// or 5- and 6-byte forms (which iconv's decoder lets through).
char32_t NextCodePoint(std::string_view bytes, size_t* at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(*at);
  size_t length = 0;
  char32_t value = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead < 0x80) {
    ++*at;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  if (length == 0 || *at + length > bytes.size() || byte(*at + 1) < low || byte(*at + 1) > high) {
    ++*at;
    return kNotUtf8;
  }
  for (size_t i = 1; i < length; ++i) {
    if ((byte(*at + i) & 0xC0) != 0x80) {
      ++*at;
      return kNotUtf8;
    }
    value = (value << 6) | (byte(*at + i) & 0x3F);
  }
  *at += length;
  return value;
}

bool IsUnicodeScalar(wchar_t c) {
  const auto value = static_cast<uint32_t>(c);
  return value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
}

// Strict UTF-8 to wide text; a byte that starts no well-formed sequence
// becomes U+FFFD. False when anything was replaced.
bool DecodeUtf8(std::string_view bytes, std::wstring* text) {
  bool lossless = true;
  text->clear();
  text->reserve(bytes.size());
  for (size_t at = 0; at < bytes.size();) {
    const char32_t c = NextCodePoint(bytes, &at);
    lossless &= c != kNotUtf8;
    text->push_back(c == kNotUtf8 ? kReplacementChar : static_cast<wchar_t>(c));
  }
  return lossless;
}

// Wide text to UTF-8; what is no Unicode scalar value (a surrogate, a value
// above U+10FFFF) becomes `replacement`. False when anything was replaced.
bool EncodeUtf8(std::wstring_view text, std::string_view replacement, std::string* bytes) {
  bool lossless = true;
  bytes->clear();
  bytes->reserve(text.size());
  for (wchar_t c : text) {
    const auto value = static_cast<uint32_t>(c);
    if (!IsUnicodeScalar(c)) {
      lossless = false;
      bytes->append(replacement);
    } else if (value < 0x80) {
      bytes->push_back(static_cast<char>(value));
    } else if (value < 0x800) {
      bytes->push_back(static_cast<char>(0xC0 | (value >> 6)));
      bytes->push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else if (value < 0x10000) {
      bytes->push_back(static_cast<char>(0xE0 | (value >> 12)));
      bytes->push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
      bytes->push_back(static_cast<char>(0x80 | (value & 0x3F)));
    } else {
      bytes->push_back(static_cast<char>(0xF0 | (value >> 18)));
      bytes->push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
      bytes->push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
      bytes->push_back(static_cast<char>(0x80 | (value & 0x3F)));
    }
  }
  return lossless;
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

}  // namespace

std::wstring DecodeText(TextEncoding encoding, std::string_view bytes, bool* lossless) {
  if (IsAscii(bytes)) {  // the same in UTF-8 and GBK
    if (lossless) *lossless = true;
    return std::wstring(bytes.begin(), bytes.end());
  }
  if (encoding == TextEncoding::kUtf8) {
    std::wstring text;
    const bool ok = DecodeUtf8(bytes, &text);
    if (lossless) *lossless = ok;
    return text;
  }
  std::string raw;
  const wchar_t replacement = kReplacementChar;
  bool ok = RunIconv("WCHAR_T", IconvName(encoding), bytes.data(), bytes.size(),
                     std::string_view(reinterpret_cast<const char*>(&replacement), sizeof replacement),
                     1, raw);
  if (lossless) *lossless = ok;
  std::wstring text(raw.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), raw.data(), text.size() * sizeof(wchar_t));
  return text;
}

std::string EncodeText(TextEncoding encoding, std::wstring_view text, std::string_view replacement,
                       bool* lossless) {
  if (IsAscii(text)) {
    if (lossless) *lossless = true;
    return std::string(text.begin(), text.end());
  }
  std::string out;
  if (encoding == TextEncoding::kUtf8) {
    const bool ok = EncodeUtf8(text, replacement, &out);
    if (lossless) *lossless = ok;
    return out;
  }
  bool ok = RunIconv(IconvName(encoding), "WCHAR_T", reinterpret_cast<const char*>(text.data()),
                     text.size() * sizeof(wchar_t), replacement, sizeof(wchar_t), out);
  if (lossless) *lossless = ok;
  return out;
}

bool IsUtf8(std::string_view bytes) {
  for (size_t at = 0; at < bytes.size();)
    if (NextCodePoint(bytes, &at) == kNotUtf8) return false;
  return true;
}

}  // namespace vq

#include "base/TextEncoding.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
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
  bool ok = RunIconv(IconvName(encoding), "WCHAR_T", reinterpret_cast<const char*>(text.data()),
                     text.size() * sizeof(wchar_t), replacement, sizeof(wchar_t), out);
  if (lossless) *lossless = ok;
  return out;
}

}  // namespace vq

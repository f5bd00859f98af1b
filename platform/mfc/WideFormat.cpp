// printf-style formatting of wide text with the Windows meaning of the
// conversions, driven one conversion at a time through swprintf so that
// string and character arguments never pass through the C locale.
#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/mfc/CString.h"
#include "platform/win/Encoding.h"

namespace {

constexpr int kMaxField = 1 << 16;  // widths and precisions beyond this are cut

enum class Length { None, Char, Short, Long, LongLong, LongDouble, Size, IntMax, PtrDiff, Wide };

template <typename T>
void AppendOne(std::wstring& out, const std::wstring& pattern, T value) {
  std::vector<wchar_t> buffer(256);
  while (true) {
    int n = std::swprintf(buffer.data(), buffer.size(), pattern.c_str(), value);
    if (n >= 0) {
      out.append(buffer.data(), static_cast<size_t>(n));
      return;
    }
    if (buffer.size() > (1u << 22)) return;
    buffer.resize(buffer.size() * 4);
  }
}

int ReadNumber(const wchar_t*& p) {
  int value = 0;
  while (*p >= L'0' && *p <= L'9') {
    if (value < kMaxField) value = value * 10 + (*p - L'0');
    ++p;
  }
  return std::min(value, kMaxField);
}

Length ReadLength(const wchar_t*& p) {
  switch (*p) {
    case L'h':
      ++p;
      if (*p == L'h') {
        ++p;
        return Length::Char;
      }
      return Length::Short;
    case L'l':
      ++p;
      if (*p == L'l') {
        ++p;
        return Length::LongLong;
      }
      return Length::Long;
    case L'L': ++p; return Length::LongDouble;
    case L'q': ++p; return Length::LongLong;
    case L'z': ++p; return Length::Size;
    case L'j': ++p; return Length::IntMax;
    case L't': ++p; return Length::PtrDiff;
    case L'w': ++p; return Length::Wide;
    case L'I':
      if (p[1] == L'6' && p[2] == L'4') {
        p += 3;
        return Length::LongLong;
      }
      if (p[1] == L'3' && p[2] == L'2') {
        p += 3;
        return Length::None;
      }
      ++p;
      return Length::Size;
    default: return Length::None;
  }
}

bool IsWide64(Length length) {
  return length == Length::LongLong || length == Length::IntMax || length == Length::Size ||
         length == Length::PtrDiff;
}

wchar_t NarrowCharToWide(int ch) {
  unsigned char byte = static_cast<unsigned char>(ch);
  if (byte < 0x80) return static_cast<wchar_t>(byte);
  std::wstring w = vq::Utf8ToWide(std::string_view(reinterpret_cast<const char*>(&byte), 1));
  return w.empty() ? L'?' : w[0];
}

}  // namespace

namespace vq {

std::wstring FormatWide(const wchar_t* format, va_list args) {
  std::wstring out;
  if (!format) return out;
  va_list ap;
  va_copy(ap, args);
  const wchar_t* p = format;
  while (*p) {
    if (*p != L'%') {
      out.push_back(*p++);
      continue;
    }
    const wchar_t* start = p++;
    if (*p == L'%') {
      out.push_back(L'%');
      ++p;
      continue;
    }
    std::wstring flags;
    while (*p && std::wcschr(L"-+ #0", *p)) flags.push_back(*p++);
    int width = -1;
    if (*p == L'*') {
      ++p;
      width = va_arg(ap, int);
      if (width < 0) {
        flags.push_back(L'-');
        width = width == INT_MIN ? kMaxField : -width;
      }
      width = std::min(width, kMaxField);
    } else if (*p >= L'0' && *p <= L'9') {
      width = ReadNumber(p);
    }
    int precision = -1;
    if (*p == L'.') {
      ++p;
      if (*p == L'*') {
        ++p;
        precision = va_arg(ap, int);
        precision = precision < 0 ? -1 : std::min(precision, kMaxField);
      } else {
        precision = ReadNumber(p);
      }
    }
    Length length = ReadLength(p);
    wchar_t conv = *p;
    if (!conv) {
      out.append(start);
      break;
    }
    ++p;
    std::wstring pattern = L"%" + flags;
    if (width >= 0) pattern += std::to_wstring(width);
    if (precision >= 0) pattern += L"." + std::to_wstring(precision);

    switch (conv) {
      case L'd':
      case L'i':
        if (IsWide64(length)) {
          AppendOne(out, pattern + L"lld", va_arg(ap, long long));
        } else {
          int v = va_arg(ap, int);
          if (length == Length::Char) v = static_cast<signed char>(v);
          if (length == Length::Short) v = static_cast<short>(v);
          AppendOne(out, pattern + L"d", v);
        }
        break;
      case L'u':
      case L'o':
      case L'x':
      case L'X':
        if (IsWide64(length)) {
          AppendOne(out, pattern + L"ll" + conv, va_arg(ap, unsigned long long));
        } else {
          unsigned v = va_arg(ap, unsigned);
          if (length == Length::Char) v = static_cast<unsigned char>(v);
          if (length == Length::Short) v = static_cast<unsigned short>(v);
          AppendOne(out, pattern + conv, v);
        }
        break;
      case L'e':
      case L'E':
      case L'f':
      case L'F':
      case L'g':
      case L'G':
      case L'a':
      case L'A':
        if (length == Length::LongDouble)
          AppendOne(out, pattern + L"L" + conv, va_arg(ap, long double));
        else
          AppendOne(out, pattern + conv, va_arg(ap, double));
        break;
      case L'c':
      case L'C': {
        bool narrow = (conv == L'C') ? (length != Length::Long && length != Length::Wide)
                                     : (length == Length::Short || length == Length::Char);
        wchar_t ch = narrow ? NarrowCharToWide(va_arg(ap, int))
                            : static_cast<wchar_t>(va_arg(ap, wint_t));
        AppendOne(out, pattern + L"lc", static_cast<wint_t>(ch));
        break;
      }
      case L's':
      case L'S': {
        bool narrow = (conv == L'S') ? (length != Length::Long && length != Length::Wide)
                                     : (length == Length::Short || length == Length::Char);
        std::wstring converted;
        const wchar_t* text;
        if (narrow) {
          const char* s = va_arg(ap, const char*);
          converted = s ? Utf8ToWide(s) : std::wstring(L"(null)");
          text = converted.c_str();
        } else {
          text = va_arg(ap, const wchar_t*);
          if (!text) text = L"(null)";
        }
        AppendOne(out, pattern + L"ls", text);
        break;
      }
      case L'p': AppendOne(out, pattern + L"p", va_arg(ap, void*)); break;
      case L'n': (void)va_arg(ap, void*); break;  // never writes through the pointer
      default: out.append(start, p); break;
    }
  }
  va_end(ap);
  return out;
}

}  // namespace vq

#pragma once
// CString: a wide-character string with the MFC interface the application
// uses. Format keeps the Windows meaning of the conversions in a wide
// format: %s and %c take wide arguments, %S, %hs and %hc narrow (UTF-8)
// ones, and "l" on an integer conversion is the 32-bit Windows long.
#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/win/WinTypes.h"

class CString {
 public:
  CString() = default;
  CString(const CString&) = default;
  CString(CString&&) noexcept = default;
  CString(const wchar_t* text);  // NOLINT: implicit as in MFC
  CString(const wchar_t* text, int length);
  CString(const char* utf8);  // NOLINT: narrow text is UTF-8
  CString(wchar_t ch, int repeat = 1);
  CString(std::wstring_view text);  // NOLINT
  CString(const std::wstring& text);  // NOLINT

  CString& operator=(const CString&) = default;
  CString& operator=(CString&&) noexcept = default;
  CString& operator=(const wchar_t* text);
  CString& operator=(const char* utf8);
  CString& operator=(wchar_t ch);

  int GetLength() const { return static_cast<int>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }
  void Empty() { text_.clear(); }
  wchar_t GetAt(int index) const;
  void SetAt(int index, wchar_t ch);
  wchar_t operator[](int index) const { return GetAt(index); }
  const wchar_t* GetString() const { return text_.c_str(); }
  operator const wchar_t*() const { return text_.c_str(); }  // NOLINT
  const std::wstring& str() const { return text_; }
  std::string ToUtf8() const;

  CString& operator+=(const CString& other);
  CString& operator+=(const wchar_t* text);
  CString& operator+=(const char* utf8);
  CString& operator+=(wchar_t ch);
  void Append(const wchar_t* text, int length);
  void AppendChar(wchar_t ch) { text_.push_back(ch); }

  // Ordinal comparison (<0, 0, >0); CompareNoCase folds letter case.
  int Compare(const wchar_t* other) const;
  int CompareNoCase(const wchar_t* other) const;

  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Left(int count) const;
  CString Right(int count) const;
  CString SpanIncluding(const wchar_t* charSet) const;
  CString SpanExcluding(const wchar_t* charSet) const;

  // Searches return the index or -1.
  int Find(wchar_t ch, int start = 0) const;
  int Find(const wchar_t* sub, int start = 0) const;
  int ReverseFind(wchar_t ch) const;
  int FindOneOf(const wchar_t* charSet) const;

  CString& MakeUpper();
  CString& MakeLower();
  CString& MakeReverse();
  CString& Trim();
  CString& Trim(wchar_t target);
  CString& Trim(const wchar_t* targets);
  CString& TrimLeft();
  CString& TrimLeft(wchar_t target);
  CString& TrimLeft(const wchar_t* targets);
  CString& TrimRight();
  CString& TrimRight(wchar_t target);
  CString& TrimRight(const wchar_t* targets);

  // Edits return the number of replaced/removed characters or the new length.
  int Replace(wchar_t oldChar, wchar_t newChar);
  int Replace(const wchar_t* oldText, const wchar_t* newText);
  int Remove(wchar_t ch);
  int Insert(int index, wchar_t ch);
  int Insert(int index, const wchar_t* text);
  int Delete(int index, int count = 1);

  // The next token after `start` delimited by any of `tokens`; `start`
  // becomes the position after it, or -1 with an empty result at the end.
  CString Tokenize(const wchar_t* tokens, int& start) const;

  void Format(const wchar_t* format, ...);
  void FormatV(const wchar_t* format, va_list args);
  void AppendFormat(const wchar_t* format, ...);
  void AppendFormatV(const wchar_t* format, va_list args);

  // Raw access: GetBuffer(n) gives room for n characters and a zero;
  // ReleaseBuffer(-1) takes the length up to the first zero.
  wchar_t* GetBuffer();
  wchar_t* GetBuffer(int minLength);
  wchar_t* GetBufferSetLength(int length);
  void ReleaseBuffer(int newLength = -1);

  friend CString operator+(const CString& a, const CString& b);
  friend CString operator+(const CString& a, const wchar_t* b);
  friend CString operator+(const wchar_t* a, const CString& b);
  friend CString operator+(const CString& a, wchar_t b);
  friend CString operator+(wchar_t a, const CString& b);
  friend bool operator==(const CString& a, const CString& b) { return a.text_ == b.text_; }
  friend bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
  friend bool operator<(const CString& a, const CString& b) { return a.text_ < b.text_; }

 private:
  std::wstring text_;
};

inline bool operator!=(const CString& a, const CString& b) { return !(a == b); }
inline bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
inline bool operator>(const CString& a, const CString& b) { return b < a; }

using CStringW = CString;

namespace vq {
// Formats like CString::Format, into a std::wstring.
std::wstring FormatWide(const wchar_t* format, va_list args);
}  // namespace vq

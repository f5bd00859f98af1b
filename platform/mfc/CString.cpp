#include "platform/mfc/CString.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "platform/win/Encoding.h"

namespace {

wchar_t ToUpper(wchar_t ch) { return vq::ToUpperChar(ch); }
wchar_t ToLower(wchar_t ch) { return vq::ToLowerChar(ch); }

bool IsSpace(wchar_t ch) {
  return ch == L' ' || ch == L'\t' || ch == L'\n' || ch == L'\r' || ch == L'\v' || ch == L'\f';
}

std::wstring_view View(const wchar_t* text) {
  return text ? std::wstring_view(text) : std::wstring_view();
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace

CString::CString(const wchar_t* text) : text_(View(text)) {}

CString::CString(const wchar_t* text, int length) {
  if (text && length > 0) text_.assign(text, static_cast<size_t>(length));
}

CString::CString(const char* utf8) {
  if (utf8) text_ = vq::Utf8ToWide(utf8);
}

CString::CString(wchar_t ch, int repeat) {
  if (repeat > 0) text_.assign(static_cast<size_t>(repeat), ch);
}

CString::CString(std::wstring_view text) : text_(text) {}

CString::CString(const std::wstring& text) : text_(text) {}

CString& CString::operator=(const wchar_t* text) {
  text_.assign(View(text));
  return *this;
}

CString& CString::operator=(const char* utf8) {
  text_ = utf8 ? vq::Utf8ToWide(utf8) : std::wstring();
  return *this;
}

CString& CString::operator=(wchar_t ch) {
  text_.assign(1, ch);
  return *this;
}

wchar_t CString::GetAt(int index) const {
  return (index >= 0 && index < GetLength()) ? text_[static_cast<size_t>(index)] : L'\0';
}

void CString::SetAt(int index, wchar_t ch) {
  if (index >= 0 && index < GetLength()) text_[static_cast<size_t>(index)] = ch;
}

std::string CString::ToUtf8() const { return vq::WideToUtf8(text_); }

CString& CString::operator+=(const CString& other) {
  text_ += other.text_;
  return *this;
}

CString& CString::operator+=(const wchar_t* text) {
  text_ += View(text);
  return *this;
}

CString& CString::operator+=(const char* utf8) {
  if (utf8) text_ += vq::Utf8ToWide(utf8);
  return *this;
}

CString& CString::operator+=(wchar_t ch) {
  text_.push_back(ch);
  return *this;
}

void CString::Append(const wchar_t* text, int length) {
  if (text && length > 0) text_.append(text, static_cast<size_t>(length));
}

int CString::Compare(const wchar_t* other) const {
  return Sign(text_.compare(View(other)));
}

int CString::CompareNoCase(const wchar_t* other) const {
  std::wstring_view b = View(other);
  size_t n = std::min(text_.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    wchar_t x = ToLower(text_[i]);
    wchar_t y = ToLower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return text_.size() == b.size() ? 0 : (text_.size() < b.size() ? -1 : 1);
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  first = std::clamp(first, 0, GetLength());
  count = std::clamp(count, 0, GetLength() - first);
  return CString(std::wstring_view(text_).substr(static_cast<size_t>(first),
                                                 static_cast<size_t>(count)));
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Right(int count) const {
  count = std::clamp(count, 0, GetLength());
  return Mid(GetLength() - count, count);
}

CString CString::SpanIncluding(const wchar_t* charSet) const {
  size_t n = text_.find_first_not_of(View(charSet));
  return CString(std::wstring_view(text_).substr(0, n));
}

CString CString::SpanExcluding(const wchar_t* charSet) const {
  size_t n = text_.find_first_of(View(charSet));
  return CString(std::wstring_view(text_).substr(0, n));
}

int CString::Find(wchar_t ch, int start) const {
  if (start < 0 || start >= GetLength()) return -1;
  size_t pos = text_.find(ch, static_cast<size_t>(start));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const wchar_t* sub, int start) const {
  if (!sub || start < 0 || start > GetLength()) return -1;
  size_t pos = text_.find(View(sub), static_cast<size_t>(start));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(wchar_t ch) const {
  size_t pos = text_.rfind(ch);
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::FindOneOf(const wchar_t* charSet) const {
  size_t pos = text_.find_first_of(View(charSet));
  return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CString& CString::MakeUpper() {
  for (wchar_t& ch : text_) ch = ToUpper(ch);
  return *this;
}

CString& CString::MakeLower() {
  for (wchar_t& ch : text_) ch = ToLower(ch);
  return *this;
}

CString& CString::MakeReverse() {
  std::reverse(text_.begin(), text_.end());
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(wchar_t target) { return TrimRight(target).TrimLeft(target); }
CString& CString::Trim(const wchar_t* targets) { return TrimRight(targets).TrimLeft(targets); }

CString& CString::TrimLeft() {
  size_t n = 0;
  while (n < text_.size() && IsSpace(text_[n])) ++n;
  text_.erase(0, n);
  return *this;
}

CString& CString::TrimLeft(wchar_t target) {
  size_t n = 0;
  while (n < text_.size() && text_[n] == target) ++n;
  text_.erase(0, n);
  return *this;
}

CString& CString::TrimLeft(const wchar_t* targets) {
  size_t n = text_.find_first_not_of(View(targets));
  text_.erase(0, n == std::wstring::npos ? text_.size() : n);
  return *this;
}

CString& CString::TrimRight() {
  while (!text_.empty() && IsSpace(text_.back())) text_.pop_back();
  return *this;
}

CString& CString::TrimRight(wchar_t target) {
  while (!text_.empty() && text_.back() == target) text_.pop_back();
  return *this;
}

CString& CString::TrimRight(const wchar_t* targets) {
  size_t n = text_.find_last_not_of(View(targets));
  text_.erase(n == std::wstring::npos ? 0 : n + 1);
  return *this;
}

int CString::Replace(wchar_t oldChar, wchar_t newChar) {
  int count = 0;
  for (wchar_t& ch : text_) {
    if (ch == oldChar) {
      ch = newChar;
      ++count;
    }
  }
  return count;
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText) {
  std::wstring_view from = View(oldText);
  std::wstring_view to = View(newText);
  if (from.empty()) return 0;
  int count = 0;
  std::wstring result;
  size_t pos = 0;
  while (true) {
    size_t hit = text_.find(from, pos);
    if (hit == std::wstring::npos) break;
    result.append(text_, pos, hit - pos);
    result.append(to);
    pos = hit + from.size();
    ++count;
  }
  if (count) {
    result.append(text_, pos, std::wstring::npos);
    text_ = std::move(result);
  }
  return count;
}

int CString::Remove(wchar_t ch) {
  size_t before = text_.size();
  std::erase(text_, ch);
  return static_cast<int>(before - text_.size());
}

int CString::Insert(int index, wchar_t ch) {
  index = std::clamp(index, 0, GetLength());
  text_.insert(static_cast<size_t>(index), 1, ch);
  return GetLength();
}

int CString::Insert(int index, const wchar_t* text) {
  index = std::clamp(index, 0, GetLength());
  text_.insert(static_cast<size_t>(index), View(text));
  return GetLength();
}

int CString::Delete(int index, int count) {
  if (index < 0) index = 0;
  if (index < GetLength() && count > 0) {
    count = std::min(count, GetLength() - index);
    text_.erase(static_cast<size_t>(index), static_cast<size_t>(count));
  }
  return GetLength();
}

CString CString::Tokenize(const wchar_t* tokens, int& start) const {
  if (start < 0 || start >= GetLength()) {
    start = -1;
    return CString();
  }
  std::wstring_view delims = View(tokens);
  size_t begin = text_.find_first_not_of(delims, static_cast<size_t>(start));
  if (begin == std::wstring::npos) {
    start = -1;
    return CString();
  }
  size_t end = text_.find_first_of(delims, begin);
  if (end == std::wstring::npos) end = text_.size();
  start = static_cast<int>(std::min(end + 1, text_.size() + 1));
  return CString(std::wstring_view(text_).substr(begin, end - begin));
}

void CString::Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(const wchar_t* format, va_list args) { text_ = vq::FormatWide(format, args); }

void CString::AppendFormat(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormatV(format, args);
  va_end(args);
}

void CString::AppendFormatV(const wchar_t* format, va_list args) {
  text_ += vq::FormatWide(format, args);
}

wchar_t* CString::GetBuffer() { return text_.data(); }

wchar_t* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) text_.resize(static_cast<size_t>(minLength), L'\0');
  return text_.data();
}

wchar_t* CString::GetBufferSetLength(int length) {
  text_.resize(static_cast<size_t>(std::max(length, 0)), L'\0');
  return text_.data();
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) newLength = static_cast<int>(wcsnlen(text_.c_str(), text_.size()));
  text_.resize(static_cast<size_t>(std::min(newLength, GetLength())));
}

CString operator+(const CString& a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const CString& a, const wchar_t* b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const wchar_t* a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const CString& a, wchar_t b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(wchar_t a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

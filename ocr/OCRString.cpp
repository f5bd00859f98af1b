#include "ocr/OCRString.h"

#include <cstring>
#include <utility>

OCRString::OCRString(const char* text) : OCRString(text, text ? static_cast<int>(std::strlen(text)) : 0, "", 0) {}

OCRString::OCRString(const char* a, int lengthA, const char* b, int lengthB)
    : buffer_(new char[static_cast<size_t>(lengthA) + lengthB + 1]), length_(lengthA + lengthB) {
  if (lengthA) std::memcpy(buffer_, a, static_cast<size_t>(lengthA));
  if (lengthB) std::memcpy(buffer_ + lengthA, b, static_cast<size_t>(lengthB));
  buffer_[length_] = '\0';
}

OCRString& OCRString::operator=(const OCRString& other) {
  if (this == &other) return *this;
  OCRString copy(other);
  std::swap(buffer_, copy.buffer_);
  std::swap(length_, copy.length_);
  return *this;
}

OCRString operator+(const OCRString& a, const OCRString& b) {
  return OCRString(a.buffer_, a.length_, b.buffer_, b.length_);
}

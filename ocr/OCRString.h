#pragma once
// The small byte string of the page recogniser: a NUL-terminated heap buffer
// and its length. Texts are GBK bytes and are never interpreted here.

class OCRString {
 public:
  OCRString() : OCRString(nullptr) {}
  // A null pointer gives the empty string.
  OCRString(const char* text);  // NOLINT: converting on purpose, like a C string
  OCRString(const OCRString& other) : OCRString(other.buffer_) {}
  OCRString& operator=(const OCRString& other);
  ~OCRString() { delete[] buffer_; }

  const char* c_str() const { return buffer_; }
  int Length() const { return length_; }

 private:
  OCRString(const char* a, int lengthA, const char* b, int lengthB);
  friend OCRString operator+(const OCRString& a, const OCRString& b);

  char* buffer_ = nullptr;
  int length_ = 0;
};

// a's bytes followed by b's.
OCRString operator+(const OCRString& a, const OCRString& b);

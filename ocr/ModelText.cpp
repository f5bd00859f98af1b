#include "ocr/ModelText.h"

namespace {
char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

bool IsTextRecord(const OCRMatrix* m) {
  return m && m->type == OCR_U8 && m->rows == 1 && m->cols >= 0 && (m->data || m->cols == 0);
}

std::string RecordText(const OCRMatrix* m) {
  if (!IsTextRecord(m) || m->cols == 0) return std::string();
  return std::string(MatrixData<char>(m), static_cast<size_t>(m->cols));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (FoldAscii(text[i]) != FoldAscii(prefix[i])) return false;
  return true;
}

#include "ocr/GlyphGeometry.h"

#include <algorithm>

#include "ocr/ModelReading.h"
#include "ocr/ModelText.h"

namespace {

uint16_t Key(const char* label) {
  return static_cast<uint16_t>(static_cast<uint8_t>(label[0]) << 8 | static_cast<uint8_t>(label[1]));
}

}  // namespace

bool GlyphGeometry::Read(CFileOperator& file) {
  OCRMatrixPtr labels = NextRecord(file);
  OCRMatrixPtr table = NextRecord(file);
  if (!IsTextRecord(labels.get()) || labels->cols % 2 != 0 || !table || !MakeFiniteDoubles(table)) return false;
  const int count = labels->cols / 2;
  if (!FitShape(table.get(), count, kColumns)) return false;
  const char* text = MatrixData<char>(labels.get());
  const double* v = MatrixData<double>(table.get());
  for (int i = 0; i < count; ++i, v += kColumns) {
    if (text[2 * i] == '\0' || text[2 * i + 1] == '\0' || v[1] <= 0.0 || v[3] <= 0.0 || v[5] <= 0.0) return false;
    places_[Key(text + 2 * i)] = GlyphPlace{v[0], v[1], v[2], v[3], v[4], v[5]};
  }
  return true;
}

int GlyphGeometry::Write(CFileOperator& file, const std::string& labels, const double* table) {
  const int count = static_cast<int>(labels.size() / 2);
  OCRMatrixPtr values(CreateMatrix(OCR_DOUBLE, count, kColumns));
  if (!values || labels.size() % 2 != 0) return 1;
  std::copy(table, table + static_cast<size_t>(count) * kColumns, MatrixData<double>(values.get()));
  if (file.WriteString("GEO") != 0 || file.WriteString(labels.c_str()) != 0) return 1;
  return file.WriteRecord(values.get());
}

const GlyphPlace* GlyphGeometry::Find(const char* label) const {
  if (!label || label[0] == '\0' || label[1] == '\0') return nullptr;
  const auto found = places_.find(Key(label));
  return found == places_.end() ? nullptr : &found->second;
}

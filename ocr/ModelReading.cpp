#include "ocr/ModelReading.h"

#include <cmath>
#include <new>

#include "ocr/ComponentFactory.h"
#include "ocr/ModelText.h"

bool ReadModelFile(const char* modelPath, const std::function<bool(CFileOperator&)>& read) {
  auto file = CreateFileOperator("Cmm");
  if (!file || !modelPath || file->Open(modelPath, false) != 0) return false;
  bool ok = false;
  try {
    ok = read(*file);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  file->Close();
  return ok;
}

OCRMatrixPtr NextRecord(CFileOperator& file) { return OCRMatrixPtr(file.ReadRecord()); }

bool ReadName(const OCRMatrix* record, size_t maxLength, std::string* name) {
  if (!IsTextRecord(record) || static_cast<size_t>(record->cols) > maxLength) return false;
  *name = RecordText(record);
  return true;
}

bool MakeFiniteDoubles(OCRMatrixPtr& record) {
  if (!IsNumericMatrix(record.get())) return false;
  OCRMatrix* m = record.release();
  ConvertMatrixToDouble(&m);
  record.reset(m);
  if (!m || m->type != OCR_DOUBLE) return false;
  const size_t n = OCRElementCount(m);
  for (size_t i = 0; i < n; ++i)
    if (!std::isfinite(MatrixData<double>(m)[i])) return false;
  return true;
}

bool FitShape(OCRMatrix* record, int rows, int cols) {
  if (!record || OCRElementCount(record) != static_cast<size_t>(rows) * static_cast<size_t>(cols)) return false;
  record->rows = rows;
  record->cols = cols;
  return true;
}

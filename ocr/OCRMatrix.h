#pragma once
// The engine's matrix record: model-file record, glyph image, normalised
// image and feature vector alike.
#include <cstddef>
#include <cstdint>
#include <memory>

// Element types of a record.
enum OCRElementType : int {
  OCR_U8 = 1,      // unsigned 8-bit
  OCR_INT32 = 2,   // signed 32-bit
  OCR_INT32B = 3,  // signed 32-bit (treated like 2)
  OCR_FLOAT = 4,   // 32-bit IEEE float
  OCR_DOUBLE = 5,  // 64-bit IEEE double
};

struct OCRMatrix {
  int type = 0;
  void* data = nullptr;  // rows x cols elements, row by row; none for an unknown type
  int rows = 0;
  int cols = 0;
};

// Size of one element of the type; 0 for a type outside 1 to 5.
int OCRElementSize(int type);
// rows x cols (0 for a null record).
size_t OCRElementCount(const OCRMatrix* m);
// True for a record of a known type whose data exist (or that is empty).
bool IsNumericMatrix(const OCRMatrix* m);
// Element i read as a double, whatever the element type (bytes unsigned).
double OCRElementAsDouble(const OCRMatrix* m, size_t i);

// A new record with zeroed elements (no data for an unknown type); null for
// negative sizes or when memory runs out.
OCRMatrix* CreateMatrix(int type, int rows, int cols);
OCRMatrix* CloneMatrix(const OCRMatrix* m);
void ReleaseMatrix(OCRMatrix** m);
// Zeroes dst and copies the width x height block of src at (srcX, srcY) to
// (dstX, dstY); both records must be bytes and the block must fit both.
bool CropMatrix(const OCRMatrix* src, int srcX, int srcY, int width, int height, OCRMatrix* dst,
                int dstX, int dstY);
// Replaces the record by a double record of the same shape.
void ConvertMatrixToDouble(OCRMatrix** m);
// Gives the record `rows` rows keeping its elements; false when they do not divide evenly.
bool ReshapeMatrix(OCRMatrix** m, int rows);
// a x b for two double records with a.cols = b.rows; null otherwise.
OCRMatrix* MultiplyMatrix(const OCRMatrix* a, const OCRMatrix* b);
// Scales a double record to unit Euclidean length (unless it is almost zero).
bool NormalizeMatrixL2(OCRMatrix* m);

// Owning handle for records handed over by the operations above.
struct OCRMatrixDeleter {
  void operator()(OCRMatrix* m) const { ReleaseMatrix(&m); }
};
using OCRMatrixPtr = std::unique_ptr<OCRMatrix, OCRMatrixDeleter>;

// Typed views of a record's elements.
template <typename T>
T* MatrixData(OCRMatrix* m) {
  return static_cast<T*>(m->data);
}
template <typename T>
const T* MatrixData(const OCRMatrix* m) {
  return static_cast<const T*>(m->data);
}

#include "ocr/OCRMatrix.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <opencv2/core.hpp>

int OCRElementSize(int type) {
  switch (type) {
    case OCR_U8: return 1;
    case OCR_INT32:
    case OCR_INT32B:
    case OCR_FLOAT: return 4;
    case OCR_DOUBLE: return 8;
    default: return 0;
  }
}

size_t OCRElementCount(const OCRMatrix* m) {
  if (!m || m->rows <= 0 || m->cols <= 0) return 0;
  return static_cast<size_t>(m->rows) * static_cast<size_t>(m->cols);
}

bool IsNumericMatrix(const OCRMatrix* m) {
  return m && OCRElementSize(m->type) > 0 && (m->data || OCRElementCount(m) == 0);
}

double OCRElementAsDouble(const OCRMatrix* m, size_t i) {
  switch (m->type) {
    case OCR_U8: return MatrixData<uint8_t>(m)[i];
    case OCR_INT32:
    case OCR_INT32B: return MatrixData<int32_t>(m)[i];
    case OCR_FLOAT: return MatrixData<float>(m)[i];
    case OCR_DOUBLE: return MatrixData<double>(m)[i];
    default: return 0.0;
  }
}

OCRMatrix* CreateMatrix(int type, int rows, int cols) {
  if (rows < 0 || cols < 0) return nullptr;
  auto* m = new (std::nothrow) OCRMatrix;
  if (!m) return nullptr;
  m->type = type;
  m->rows = rows;
  m->cols = cols;
  const int size = OCRElementSize(type);
  const size_t count = OCRElementCount(m);
  if (size > 0 && count > 0) {
    if (count > SIZE_MAX / static_cast<size_t>(size)) {
      delete m;
      return nullptr;
    }
    m->data = std::calloc(count, static_cast<size_t>(size));
    if (!m->data) {
      delete m;
      return nullptr;
    }
  }
  return m;
}

OCRMatrix* CloneMatrix(const OCRMatrix* m) {
  if (!m) return nullptr;
  OCRMatrix* copy = CreateMatrix(m->type, m->rows, m->cols);
  if (copy && copy->data && m->data)
    std::memcpy(copy->data, m->data, OCRElementCount(m) * OCRElementSize(m->type));
  return copy;
}

void ReleaseMatrix(OCRMatrix** m) {
  if (!m || !*m) return;
  std::free((*m)->data);
  delete *m;
  *m = nullptr;
}

bool CropMatrix(const OCRMatrix* src, int srcX, int srcY, int width, int height, OCRMatrix* dst,
                int dstX, int dstY) {
  if (!src || !dst || src->type != OCR_U8 || dst->type != OCR_U8) return false;
  if (width < 0 || height < 0 || dstX < 0 || dstY < 0 || srcX < 0 || srcY < 0) return false;
  if (dstX + width > dst->cols || dstY + height > dst->rows) return false;
  if (srcX + width > src->cols || srcY + height > src->rows) return false;
  if (dst->data) std::memset(dst->data, 0, OCRElementCount(dst));
  for (int y = 0; y < height; ++y)
    std::memcpy(MatrixData<uint8_t>(dst) + static_cast<size_t>(dstY + y) * dst->cols + dstX,
                MatrixData<uint8_t>(src) + static_cast<size_t>(srcY + y) * src->cols + srcX, width);
  return true;
}

void ConvertMatrixToDouble(OCRMatrix** m) {
  if (!m || !*m || (*m)->type == OCR_DOUBLE || !IsNumericMatrix(*m)) return;
  OCRMatrix* converted = CreateMatrix(OCR_DOUBLE, (*m)->rows, (*m)->cols);
  if (!converted) return;
  const size_t count = OCRElementCount(*m);
  for (size_t i = 0; i < count; ++i) MatrixData<double>(converted)[i] = OCRElementAsDouble(*m, i);
  ReleaseMatrix(m);
  *m = converted;
}

bool ReshapeMatrix(OCRMatrix** m, int rows) {
  if (!m || !*m || rows <= 0) return false;
  const size_t count = OCRElementCount(*m);
  if (count % static_cast<size_t>(rows) != 0) return false;
  (*m)->cols = static_cast<int>(count / static_cast<size_t>(rows));
  (*m)->rows = rows;
  return true;
}

OCRMatrix* MultiplyMatrix(const OCRMatrix* a, const OCRMatrix* b) {
  if (!a || !b || a->type != OCR_DOUBLE || b->type != OCR_DOUBLE || a->cols != b->rows) return nullptr;
  OCRMatrixPtr product(CreateMatrix(OCR_DOUBLE, a->rows, b->cols));
  if (!product) return nullptr;
  if (OCRElementCount(product.get()) == 0 || a->cols == 0) return product.release();
  if (b->cols == 1) {
    // Matrix times column, once or more per glyph: plain dot products beat
    // the general product's call overhead.
    const double* column = MatrixData<double>(b);
    for (int r = 0; r < a->rows; ++r) {
      const double* row = MatrixData<double>(a) + static_cast<size_t>(r) * a->cols;
      double part[4] = {0, 0, 0, 0};
      int i = 0;
      for (; i + 4 <= a->cols; i += 4)
        for (int k = 0; k < 4; ++k) part[k] += row[i + k] * column[i + k];
      for (; i < a->cols; ++i) part[0] += row[i] * column[i];
      MatrixData<double>(product.get())[r] = (part[0] + part[1]) + (part[2] + part[3]);
    }
    return product.release();
  }
  try {
    const cv::Mat ma(a->rows, a->cols, CV_64F, a->data);
    const cv::Mat mb(b->rows, b->cols, CV_64F, b->data);
    cv::Mat mc(product->rows, product->cols, CV_64F, product->data);
    cv::gemm(ma, mb, 1.0, cv::noArray(), 0.0, mc);
    if (mc.data != product->data) return nullptr;
  } catch (const cv::Exception&) {
    return nullptr;
  }
  return product.release();
}

bool NormalizeMatrixL2(OCRMatrix* m) {
  if (!m || m->type != OCR_DOUBLE) return false;
  const size_t count = OCRElementCount(m);
  double* v = MatrixData<double>(m);
  double sum = 0.0;
  for (size_t i = 0; i < count; ++i) sum += v[i] * v[i];
  const double length = std::sqrt(sum);
  if (length > 1e-9)
    for (size_t i = 0; i < count; ++i) v[i] /= length;
  return true;
}

#include "ocr/OCRMatrix.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include <opencv2/core.hpp>

namespace {

typedef double Doubles2 __attribute__((vector_size(2 * sizeof(double))));
typedef double Doubles4 __attribute__((vector_size(4 * sizeof(double))));

// Four partial sums over every fourth value, the rest into the first, then
// (p0 + p1) + (p2 + p3); the partial sums of a vector V at a time. Two rows
// at once share the column's loads. The same sums, to the bit, for either V
// (no fused multiply-add).
// Vectors go by reference only: as values they would change the calling
// convention between the targets.
template <typename V>
[[gnu::always_inline]] inline void Load(V& v, const double* p) {
  std::memcpy(&v, p, sizeof v);
}

template <typename V>
[[gnu::always_inline]] inline void DotRows(const double* a, int rows, int cols, const double* column, double* out) {
  constexpr int kWidth = sizeof(V) / sizeof(double);
  auto finish = [&](const V* part, const double* row) {
    double p[4];
    std::memcpy(p, part, sizeof p);
    int i = cols / 4 * 4;
    for (; i < cols; ++i) p[0] += row[i] * column[i];
    return (p[0] + p[1]) + (p[2] + p[3]);
  };
  int r = 0;
  for (; r + 2 <= rows; r += 2) {
    const double* row0 = a + static_cast<size_t>(r) * cols;
    const double* row1 = row0 + cols;
    V s0[4 / kWidth] = {}, s1[4 / kWidth] = {};
    for (int i = 0; i + 4 <= cols; i += 4)
      for (int w = 0; w < 4 / kWidth; ++w) {
        V c, t0, t1;
        Load(c, column + i + w * kWidth);
        Load(t0, row0 + i + w * kWidth);
        Load(t1, row1 + i + w * kWidth);
        s0[w] += t0 * c;
        s1[w] += t1 * c;
      }
    out[r] = finish(s0, row0);
    out[r + 1] = finish(s1, row1);
  }
  for (; r < rows; ++r) {
    const double* row = a + static_cast<size_t>(r) * cols;
    V s[4 / kWidth] = {};
    for (int i = 0; i + 4 <= cols; i += 4)
      for (int w = 0; w < 4 / kWidth; ++w) {
        V t, c;
        Load(t, row + i + w * kWidth);
        Load(c, column + i + w * kWidth);
        s[w] += t * c;
      }
    out[r] = finish(s, row);
  }
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) void DotRowsWide(const double* a, int rows, int cols, const double* column,
                                                  double* out) {
  DotRows<Doubles4>(a, rows, cols, column, out);
}
#endif

void RowsTimesColumn(const double* a, int rows, int cols, const double* column, double* out) {
#if defined(__x86_64__)
  static const bool wide = __builtin_cpu_supports("avx2");
  if (wide) {
    DotRowsWide(a, rows, cols, column, out);
    return;
  }
#endif
  DotRows<Doubles2>(a, rows, cols, column, out);
}

}  // namespace

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
    RowsTimesColumn(MatrixData<double>(a), a->rows, a->cols, MatrixData<double>(b), MatrixData<double>(product.get()));
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

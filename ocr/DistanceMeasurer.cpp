#include "ocr/DistanceMeasurer.h"

#include <cmath>

namespace {

// Sums term(a_i, b_i) over both records read as doubles.
template <typename Term>
int SumTerms(const OCRMatrix* a, const OCRMatrix* b, double* out, Term term) {
  const size_t n = OCRElementCount(a);
  double sum = 0.0;
  if (a->type == OCR_DOUBLE && b->type == OCR_DOUBLE) {
    const double* x = MatrixData<double>(a);
    const double* y = MatrixData<double>(b);
    for (size_t i = 0; i < n; ++i) sum += term(x[i], y[i]);
  } else {
    for (size_t i = 0; i < n; ++i) sum += term(OCRElementAsDouble(a, i), OCRElementAsDouble(b, i));
  }
  if (out) *out = sum;
  return 0;
}

}  // namespace

bool CDistanceMeasurer::SameShape(const OCRMatrix* a, const OCRMatrix* b) {
  return IsNumericMatrix(a) && IsNumericMatrix(b) && a->rows == b->rows && a->cols == b->cols;
}

int CCosineDistanceMeasurerImp::Distance(const OCRMatrix* a, const OCRMatrix* b, double* out) {
  if (!SameShape(a, b)) return 1;
  const int status = SumTerms(a, b, out, [](double x, double y) { return x * y; });
  if (out) *out = 1.0 - *out;
  return status;
}

int CL2DistanceMeasurerImp::Distance(const OCRMatrix* a, const OCRMatrix* b, double* out) {
  if (!SameShape(a, b)) return 1;
  return SumTerms(a, b, out, [](double x, double y) { return (x - y) * (x - y); });
}

int CCityDistanceMeasurerImp::Distance(const OCRMatrix* a, const OCRMatrix* b, double* out) {
  if (!SameShape(a, b)) return 1;
  return SumTerms(a, b, out, [](double x, double y) { return std::fabs(x - y); });
}

#include "ocr/DistanceMeasurer.h"

#include <cmath>

namespace {

// Sums term(a_i, b_i) over both records read as doubles.
template <typename Term>
int SumTerms(const OCRMatrix* a, const OCRMatrix* b, double* out, Term term) {
  const size_t n = OCRElementCount(a);
  double sum = 0.0;
  if (a->type == OCR_DOUBLE && b->type == OCR_DOUBLE) {
    // Four partial sums keep the pipeline busy on long vectors.
    const double* x = MatrixData<double>(a);
    const double* y = MatrixData<double>(b);
    double part[4] = {0, 0, 0, 0};
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
      for (size_t k = 0; k < 4; ++k) part[k] += term(x[i + k], y[i + k]);
    for (; i < n; ++i) part[0] += term(x[i], y[i]);
    sum = (part[0] + part[1]) + (part[2] + part[3]);
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

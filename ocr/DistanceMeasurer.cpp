#include "ocr/DistanceMeasurer.h"

#include <cmath>

namespace {

// Sums term(x_i, y_i) over n doubles. Four partial sums keep the pipeline
// busy on long vectors.
template <typename Term>
double SumDoubles(const double* x, const double* y, size_t n, Term term) {
  double part[4] = {0, 0, 0, 0};
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (size_t k = 0; k < 4; ++k) part[k] += term(x[i + k], y[i + k]);
  for (; i < n; ++i) part[0] += term(x[i], y[i]);
  return (part[0] + part[1]) + (part[2] + part[3]);
}

// A type of its own, so that the sums inline it.
struct Product {
  double operator()(double x, double y) const { return x * y; }
};

// Sums term(a_i, b_i) over both records read as doubles.
template <typename Term>
int SumTerms(const OCRMatrix* a, const OCRMatrix* b, double* out, Term term) {
  const size_t n = OCRElementCount(a);
  double sum = 0.0;
  if (a->type == OCR_DOUBLE && b->type == OCR_DOUBLE) {
    sum = SumDoubles(MatrixData<double>(a), MatrixData<double>(b), n, term);
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
  const int status = SumTerms(a, b, out, Product{});
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

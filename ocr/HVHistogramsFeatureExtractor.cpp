#include "ocr/HVHistogramsFeatureExtractor.h"

#include <vector>

#include "ocr/FFT.h"
#include "ocr/ModelText.h"

namespace {
int PowerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n) p <<= 1;
  return p;
}
}  // namespace

OCRMatrix* CHVHistogramsFeatureExtractorImp::Extract(const OCRMatrix* image, int) {
  if (!IsByteImage(image) || image->rows > (1 << 20) || image->cols > (1 << 20)) return nullptr;
  const int R = image->rows, C = image->cols;
  const int c = PowerOfTwoAtLeast(R), d = PowerOfTwoAtLeast(C);
  std::vector<CComplex<float>> columns(d), rows(c);
  std::vector<float> columnSum(C, 0.0f), rowSum(R, 0.0f);
  const uint8_t* p = MatrixData<uint8_t>(image);
  for (int y = 0; y < R; ++y)
    for (int x = 0; x < C; ++x) {
      columnSum[x] += p[static_cast<size_t>(y) * C + x];
      rowSum[y] += p[static_cast<size_t>(y) * C + x];
    }
  for (int x = 0; x < C; ++x) columns[x] = CComplex<float>(columnSum[x], 0.0f);
  for (int y = 0; y < R; ++y) rows[y] = CComplex<float>(rowSum[y], 0.0f);
  FFT(columns.data(), d);
  FFT(rows.data(), c);

  std::vector<CComplex<float>> spectrum(columns);
  spectrum.insert(spectrum.end(), rows.begin(), rows.end());
  const bool complexOutput = EqualsNoCase(name_, "HVH") || EqualsNoCase(name_, "HVH0");
  OCRMatrixPtr out(CreateMatrix(OCR_FLOAT, complexOutput ? 2 : 1, d + c));
  if (!out) return nullptr;
  float* v = MatrixData<float>(out.get());
  for (size_t i = 0; i < spectrum.size(); ++i) {
    if (complexOutput) {
      v[i] = spectrum[i].Re();
      v[spectrum.size() + i] = spectrum[i].Im();
    } else {
      v[i] = spectrum[i].Magnitude();
    }
  }
  return out.release();
}

#include "ocr/FFT.h"

#include <numbers>
#include <utility>

bool FFT(CComplex<float>* data, int n) {
  if (n < 1 || (n & (n - 1)) != 0) return false;
  for (int i = 1, j = 0; i < n; ++i) {
    int bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j |= bit;
    if (i < j) std::swap(data[i], data[j]);
  }
  for (int m = 1; m < n; m <<= 1) {
    const double angle = std::numbers::pi / m;
    const CComplex<float> step(static_cast<float>(std::cos(angle)), static_cast<float>(-std::sin(angle)));
    for (int start = 0; start < n; start += 2 * m) {
      CComplex<float> w(1.0f, 0.0f);
      for (int k = start; k < start + m; ++k) {
        const CComplex<float> u = data[k];
        const CComplex<float> t = data[k + m] * w;
        data[k + m] = u - t;
        data[k] = u;
        data[k] += t;
        w *= step;
      }
    }
  }
  return true;
}

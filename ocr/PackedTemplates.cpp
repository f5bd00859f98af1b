#include "ocr/PackedTemplates.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kLanes = PackedTemplates::kLanes;

// Generic vectors of the register width: two doubles in SSE2 registers, four
// in AVX2 ones. Wider ones would be split by the compiler, and badly.
typedef double Lanes2 __attribute__((vector_size(2 * sizeof(double))));
typedef double Lanes4 __attribute__((vector_size(4 * sizeof(double))));

// sum += the lanes at row, each times x. Vectors go by reference only: as
// values they would change the calling convention between the targets.
template <typename Lanes>
[[gnu::always_inline]] inline void Accumulate(Lanes& sum, const double* row, double x) {
  Lanes v;
  std::memcpy(&v, row, sizeof v);
  sum += v * x;
}

// The distances of the 2 x width templates whose rows start at `rows` (row i
// at rows + i * kLanes). Per template this is the cosine measure's sum: four
// partial sums over every fourth value, the rest into the first, then
// (p0 + p1) + (p2 + p3). No fused multiply-add (the wide kernel's target has
// none), so each product is rounded as before. Always inlined, so that it is
// compiled for its caller's target.
template <typename Lanes>
[[gnu::always_inline]] inline void PairDistances(const double* rows, size_t length, const double* x, double* out) {
  constexpr size_t w = sizeof(Lanes) / sizeof(double);
  Lanes a0 = {}, a1 = {}, a2 = {}, a3 = {}, b0 = {}, b1 = {}, b2 = {}, b3 = {};
  size_t i = 0;
  for (; i + 4 <= length; i += 4) {
    const double* r = rows + i * kLanes;
    Accumulate(a0, r, x[i]);
    Accumulate(b0, r + w, x[i]);
    Accumulate(a1, r + kLanes, x[i + 1]);
    Accumulate(b1, r + kLanes + w, x[i + 1]);
    Accumulate(a2, r + 2 * kLanes, x[i + 2]);
    Accumulate(b2, r + 2 * kLanes + w, x[i + 2]);
    Accumulate(a3, r + 3 * kLanes, x[i + 3]);
    Accumulate(b3, r + 3 * kLanes + w, x[i + 3]);
  }
  for (; i < length; ++i) {
    Accumulate(a0, rows + i * kLanes, x[i]);
    Accumulate(b0, rows + i * kLanes + w, x[i]);
  }
  const Lanes a = (a0 + a1) + (a2 + a3), b = (b0 + b1) + (b2 + b3);
  for (size_t l = 0; l < w; ++l) {
    out[l] = 1.0 - a[l];
    out[w + l] = 1.0 - b[l];
  }
}

template <typename Lanes>
[[gnu::always_inline]] inline void WalkBlocks(const double* values, size_t length, const double* x, size_t first,
                                              size_t n, double* out) {
  constexpr size_t pair = 2 * sizeof(Lanes) / sizeof(double);
  static_assert(kLanes % pair == 0);
  double block[kLanes];
  for (size_t t = first; t < first + n; t += kLanes) {
    const double* rows = values + (t / kLanes) * length * kLanes;
    for (size_t h = 0; h < kLanes; h += pair) PairDistances<Lanes>(rows + h, length, x, block + h);
    std::copy(block, block + std::min(kLanes, first + n - t), out + (t - first));
  }
}

void WalkPortable(const double* values, size_t length, const double* x, size_t first, size_t n, double* out) {
  WalkBlocks<Lanes2>(values, length, x, first, n, out);
}

#if defined(__x86_64__)
#define VQ_WIDE_KERNEL 1
__attribute__((target("avx2"))) void WalkWide(const double* values, size_t length, const double* x, size_t first,
                                               size_t n, double* out) {
  WalkBlocks<Lanes4>(values, length, x, first, n, out);
}
#endif

}  // namespace

void PackedTemplates::Assign(const std::vector<const double*>& vectors, size_t length) {
  count_ = vectors.size();
  length_ = length;
  const size_t blocks = (count_ + kLanes - 1) / kLanes;
  values_.assign(blocks * length * kLanes, 0.0);
  for (size_t t = 0; t < count_; ++t)
    for (size_t i = 0; i < length; ++i) values_[((t / kLanes) * length + i) * kLanes + t % kLanes] = vectors[t][i];
}

bool PackedTemplates::WideKernelAvailable() {
#ifdef VQ_WIDE_KERNEL
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
#else
  return false;
#endif
}

void PackedTemplates::CosineDistances(const double* features, size_t first, size_t n, double* out,
                                      Kernel kernel) const {
  if (n == 0 || first % kLanes != 0 || first + n > count_) return;
  if (kernel == Kernel::kAuto) kernel = WideKernelAvailable() ? Kernel::kWide : Kernel::kPortable;
#ifdef VQ_WIDE_KERNEL
  if (kernel == Kernel::kWide && WideKernelAvailable()) {
    WalkWide(values_.data(), length_, features, first, n, out);
    return;
  }
#endif
  WalkPortable(values_.data(), length_, features, first, n, out);
}

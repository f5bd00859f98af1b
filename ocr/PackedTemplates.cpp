#include "ocr/PackedTemplates.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

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

// What a block's walk needs besides its values.
struct Walk {
  const double* x;       // the features
  size_t count;          // templates
  size_t length, half;   // values per template; where the sums are looked at
  double xLength, xTail; // the features' length, all and from half on
  double limit;          // templates provably beyond it need not be finished
};

// Rounding of a sum of products of vectors of lengths a and b stays below
// 1e-9 (1 + a b) for any length up to millions: the margin on the bound.
constexpr double kMargin = 1e-9;

// Four values' products added to the partial sums of two groups of templates.
template <typename Lanes>
[[gnu::always_inline]] inline void Step(const double* rows, const double* x, size_t i, Lanes& a0, Lanes& a1,
                                        Lanes& a2, Lanes& a3, Lanes& b0, Lanes& b1, Lanes& b2, Lanes& b3) {
  constexpr size_t w = sizeof(Lanes) / sizeof(double);
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

// The distances of the 2 x width templates whose rows start at `rows` (row i
// at rows + i * kLanes). Per template this is the cosine measure's sum: four
// partial sums over every fourth value, the rest into the first, then
// (p0 + p1) + (p2 + p3). No fused multiply-add (the wide kernel's target has
// none), so each product is rounded as before. When after half the values
// the sum plus the most the rest can add leaves every template beyond the
// limit, they get +infinity instead. Always inlined, so that it is compiled
// for its caller's target.
template <typename Lanes>
[[gnu::always_inline]] inline void PairDistances(const double* rows, const double* tailRows, const double* lengths,
                                                 const double* tails, const Walk& walk, double* out) {
  constexpr size_t w = sizeof(Lanes) / sizeof(double);
  const double* x = walk.x;
  Lanes a0 = {}, a1 = {}, a2 = {}, a3 = {}, b0 = {}, b1 = {}, b2 = {}, b3 = {};
  size_t i = 0;
  for (; i < walk.half; i += 4) Step(rows, x, i, a0, a1, a2, a3, b0, b1, b2, b3);
  if (walk.half > 0 && walk.limit < std::numeric_limits<double>::infinity()) {
    const Lanes a = (a0 + a1) + (a2 + a3), b = (b0 + b1) + (b2 + b3);
    Lanes ta, tb, la, lb;
    std::memcpy(&ta, tails, sizeof ta);
    std::memcpy(&tb, tails + w, sizeof tb);
    std::memcpy(&la, lengths, sizeof la);
    std::memcpy(&lb, lengths + w, sizeof lb);
    const auto beyondA = 1.0 - (a + ta * walk.xTail + kMargin * (1.0 + la * walk.xLength)) > walk.limit;
    const auto beyondB = 1.0 - (b + tb * walk.xTail + kMargin * (1.0 + lb * walk.xLength)) > walk.limit;
    const auto both = beyondA & beyondB;
    bool beyond = true;
    for (size_t l = 0; l < w; ++l) beyond = beyond && both[l] != 0;
    if (beyond) {
      std::fill(out, out + 2 * w, std::numeric_limits<double>::infinity());
      return;
    }
  }
  // The rest from the tail rows, row i at tailRows + (i - half) * kLanes.
  const double* rest = tailRows - walk.half * kLanes;
  for (; i + 4 <= walk.length; i += 4) Step(rest, x, i, a0, a1, a2, a3, b0, b1, b2, b3);
  for (; i < walk.length; ++i) {
    Accumulate(a0, rest + i * kLanes, x[i]);
    Accumulate(b0, rest + i * kLanes + w, x[i]);
  }
  const Lanes a = (a0 + a1) + (a2 + a3), b = (b0 + b1) + (b2 + b3);
  for (size_t l = 0; l < w; ++l) {
    out[l] = 1.0 - a[l];
    out[w + l] = 1.0 - b[l];
  }
}

template <typename Lanes>
[[gnu::always_inline]] inline void WalkBlocks(const double* values, const double* lengths, const double* tails,
                                              const Walk& walk, size_t first, size_t n, double* out) {
  constexpr size_t pair = 2 * sizeof(Lanes) / sizeof(double);
  static_assert(kLanes % pair == 0);
  double block[kLanes];
  const size_t blocks = (walk.count + kLanes - 1) / kLanes;
  for (size_t t = first; t < first + n; t += kLanes) {
    const double* rows = values + (t / kLanes) * walk.half * kLanes;
    const double* tailRows = values + (blocks * walk.half + (t / kLanes) * (walk.length - walk.half)) * kLanes;
    // A whole block is written in place, the last one through `block`.
    double* to = first + n - t >= kLanes ? out + (t - first) : block;
    for (size_t h = 0; h < kLanes; h += pair)
      PairDistances<Lanes>(rows + h, tailRows + h, lengths + t + h, tails + t + h, walk, to + h);
    if (to == block)
      for (size_t l = 0; l < first + n - t; ++l) out[t - first + l] = block[l];
  }
}

void WalkPortable(const double* values, const double* lengths, const double* tails, const Walk& walk, size_t first,
                  size_t n, double* out) {
  WalkBlocks<Lanes2>(values, lengths, tails, walk, first, n, out);
}

#if defined(__x86_64__)
#define VQ_WIDE_KERNEL 1
__attribute__((target("avx2"))) void WalkWide(const double* values, const double* lengths, const double* tails,
                                               const Walk& walk, size_t first, size_t n, double* out) {
  WalkBlocks<Lanes4>(values, lengths, tails, walk, first, n, out);
}
#endif

// The length of n values.
double LengthOf(const double* v, size_t n) {
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) sum += v[i] * v[i];
  return std::sqrt(sum);
}

}  // namespace

void PackedTemplates::Assign(const std::vector<const double*>& vectors, size_t length) {
  count_ = vectors.size();
  length_ = length;
  const size_t blocks = (count_ + kLanes - 1) / kLanes;
  half_ = length / 2 / 4 * 4;
  values_.assign(blocks * length * kLanes, 0.0);
  lengths_.assign(blocks * kLanes, 0.0);
  tailLengths_.assign(blocks * kLanes, -std::numeric_limits<double>::infinity());
  for (size_t t = 0; t < count_; ++t) {
    for (size_t i = 0; i < length; ++i) {
      const size_t row = i < half_ ? (t / kLanes) * half_ + i
                                   : blocks * half_ + (t / kLanes) * (length - half_) + (i - half_);
      values_[row * kLanes + t % kLanes] = vectors[t][i];
    }
    lengths_[t] = LengthOf(vectors[t], length);
    tailLengths_[t] = LengthOf(vectors[t] + half_, length - half_);
  }
}

bool PackedTemplates::WideKernelAvailable() {
#ifdef VQ_WIDE_KERNEL
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
#else
  return false;
#endif
}

PackedTemplates::Query PackedTemplates::Prepare(const double* features) const {
  return {features, LengthOf(features, length_), LengthOf(features + half_, length_ - half_)};
}

void PackedTemplates::CosineDistances(const Query& query, size_t first, size_t n, double* out, double limit,
                                      Kernel kernel) const {
  if (n == 0 || first % kLanes != 0 || first + n > count_) return;
  if (kernel == Kernel::kAuto) kernel = WideKernelAvailable() ? Kernel::kWide : Kernel::kPortable;
  // Features too long to square give no bound: every block is finished.
  if (!std::isfinite(query.length)) limit = std::numeric_limits<double>::infinity();
  const Walk walk = {query.features, count_, length_, half_, query.length, query.tailLength, limit};
#ifdef VQ_WIDE_KERNEL
  if (kernel == Kernel::kWide && WideKernelAvailable()) {
    WalkWide(values_.data(), lengths_.data(), tailLengths_.data(), walk, first, n, out);
    return;
  }
#endif
  WalkPortable(values_.data(), lengths_.data(), tailLengths_.data(), walk, first, n, out);
}

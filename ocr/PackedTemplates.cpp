#include "ocr/PackedTemplates.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr size_t kLanes = PackedTemplates::kLanes;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Float vectors of the register width: four floats in SSE registers, eight in
// AVX2 ones.
typedef float Floats4 __attribute__((vector_size(4 * sizeof(float))));
typedef float Floats8 __attribute__((vector_size(8 * sizeof(float))));
typedef double Doubles2 __attribute__((vector_size(2 * sizeof(double))));

// A float sum of products of vectors of lengths a and b, of up to 512 values
// (each rounded to a float first), stays well within 1e-4 (1 + a b) of the
// exact sum: the margin on every bound.
constexpr double kMargin = 1e-4;

// What a walk over blocks needs besides the templates.
struct Walk {
  const double* x;       // the features
  const float* rounded;  // the features as floats
  size_t count;          // templates
  size_t length, half;   // values per template; where the sums are looked at
  double xLength, xTail; // the features' length, all and from half on
  double limit;          // templates provably beyond it need no distance
  unsigned lanes;        // the lanes of a block whose distances are wanted
};

// The cosine measure's distance: four partial sums over every fourth value,
// the rest into the first, then 1 - ((p0 + p1) + (p2 + p3)). No fused
// multiply-add (the wide kernel's target has none), so each product is
// rounded as in the measure.
[[gnu::always_inline]] inline double ExactDistance(const double* t, const double* x, size_t n) {
  // Parts 0 and 1, 2 and 3 side by side, each lane rounded on its own.
  Doubles2 low = {0, 0}, high = {0, 0};
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    Doubles2 t0, t2, x0, x2;
    std::memcpy(&t0, t + i, sizeof t0);
    std::memcpy(&t2, t + i + 2, sizeof t2);
    std::memcpy(&x0, x + i, sizeof x0);
    std::memcpy(&x2, x + i + 2, sizeof x2);
    low += t0 * x0;
    high += t2 * x2;
  }
  double part0 = low[0];
  for (; i < n; ++i) part0 += t[i] * x[i];
  return 1.0 - ((part0 + low[1]) + (high[0] + high[1]));
}

// sum += the lanes at row, each times x. Vectors go by reference only: as
// values they would change the calling convention between the targets.
template <typename V>
[[gnu::always_inline]] inline void Accumulate(V& sum, const float* row, float x) {
  V v;
  std::memcpy(&v, row, sizeof v);
  sum += v * x;
}

// Block sums in V vectors: one or two of them per block, four partial sums
// each, held in named variables so that they stay in registers.
template <typename V>
struct BlockSums {
  static constexpr size_t kWidth = sizeof(V) / sizeof(float);
  static_assert(kLanes == kWidth || kLanes == 2 * kWidth);
  V a0 = {}, a1 = {}, a2 = {}, a3 = {}, b0 = {}, b1 = {}, b2 = {}, b3 = {};

  // Adds rows i .. i + 3 (row i at rows + i * kLanes).
  [[gnu::always_inline]] inline void Step(const float* rows, const float* x, size_t i) {
    const float* r = rows + i * kLanes;
    Accumulate(a0, r, x[i]);
    Accumulate(a1, r + kLanes, x[i + 1]);
    Accumulate(a2, r + 2 * kLanes, x[i + 2]);
    Accumulate(a3, r + 3 * kLanes, x[i + 3]);
    if constexpr (kLanes == 2 * kWidth) {
      Accumulate(b0, r + kWidth, x[i]);
      Accumulate(b1, r + kLanes + kWidth, x[i + 1]);
      Accumulate(b2, r + 2 * kLanes + kWidth, x[i + 2]);
      Accumulate(b3, r + 3 * kLanes + kWidth, x[i + 3]);
    }
  }
  [[gnu::always_inline]] inline void Single(const float* rows, const float* x, size_t i) {
    Accumulate(a0, rows + i * kLanes, x[i]);
    if constexpr (kLanes == 2 * kWidth) Accumulate(b0, rows + i * kLanes + kWidth, x[i]);
  }
  // The block's sums, one per template.
  [[gnu::always_inline]] inline void Sums(float* sums) const {
    const V a = (a0 + a1) + (a2 + a3);
    std::memcpy(sums, &a, sizeof a);
    if constexpr (kLanes == 2 * kWidth) {
      const V b = (b0 + b1) + (b2 + b3);
      std::memcpy(sums + kWidth, &b, sizeof b);
    }
  }
};

// Lane l of the block is provably beyond the limit: its float sum plus what
// its tail may add and the margin stays below 1 - limit. Worked out for all
// lanes at once in floats, whose rounding the margin covers as well. NaN
// (values out of the floats' range) never counts as beyond.
template <typename V>
[[gnu::always_inline]] inline void Beyond(const float* sums, const float* lengths, const float* tails, float xTail,
                                          const Walk& walk, bool* beyond) {
  constexpr size_t kWidth = sizeof(V) / sizeof(float);
  const float xLength = static_cast<float>(walk.xLength);
  const float threshold = static_cast<float>(1.0 - walk.limit);
  for (size_t at = 0; at < kLanes; at += kWidth) {
    V sum, length, tail;
    std::memcpy(&sum, sums + at, sizeof sum);
    std::memcpy(&length, lengths + at, sizeof length);
    std::memcpy(&tail, tails + at, sizeof tail);
    const auto below = sum + tail * xTail + static_cast<float>(kMargin) * (1.0f + length * xLength) < threshold;
    for (size_t l = 0; l < kWidth; ++l) beyond[at + l] = below[l] != 0;
  }
}

// The distances of the block of templates first .. first + kLanes - 1, whose
// float rows start at `rows` (the first half) and `tailRows` (the second).
// +infinity for those provably beyond the limit. Always inlined, so that it
// is compiled for its caller's target.
template <typename V>
[[gnu::always_inline]] inline void BlockDistances(const float* rows, const float* tailRows, const double* exact,
                                                  const float* lengths, const float* tails, size_t first,
                                                  const Walk& walk, double* out) {
  if (walk.limit < kInfinity) {
    static constexpr float kNoTail[kLanes] = {};
    BlockSums<V> sums;
    float sum[kLanes];
    bool beyond[kLanes];
    size_t i = 0;
    for (; i < walk.half; i += 4) sums.Step(rows, walk.rounded, i);
    if (walk.half > 0) {
      sums.Sums(sum);
      Beyond<V>(sum, lengths, tails, static_cast<float>(walk.xTail), walk, beyond);
      if (std::all_of(beyond, beyond + kLanes, [](bool b) { return b; })) {
        std::fill(out, out + kLanes, kInfinity);
        return;
      }
    }
    // The rest from the tail rows, row i at tailRows + (i - half) * kLanes.
    const float* rest = tailRows - walk.half * kLanes;
    for (; i + 4 <= walk.length; i += 4) sums.Step(rest, walk.rounded, i);
    for (; i < walk.length; ++i) sums.Single(rest, walk.rounded, i);
    sums.Sums(sum);
    Beyond<V>(sum, lengths, kNoTail, 0.0f, walk, beyond);
    for (size_t l = 0; l < kLanes; ++l)
      out[l] = beyond[l] || !(walk.lanes >> l & 1) || first + l >= walk.count
                   ? kInfinity
                   : ExactDistance(exact + (first + l) * walk.length, walk.x, walk.length);
    return;
  }
  for (size_t l = 0; l < kLanes; ++l)
    out[l] = !(walk.lanes >> l & 1) || first + l >= walk.count
                 ? kInfinity
                 : ExactDistance(exact + (first + l) * walk.length, walk.x, walk.length);
}

template <typename V>
[[gnu::always_inline]] inline void WalkBlocks(const float* rounded, const double* exact, const float* lengths,
                                              const float* tails, const Walk& walk, size_t first, size_t n,
                                              double* out) {
  const size_t blocks = (walk.count + kLanes - 1) / kLanes;
  double block[kLanes];
  for (size_t t = first; t < first + n; t += kLanes) {
    const float* rows = rounded + (t / kLanes) * walk.half * kLanes;
    const float* tailRows = rounded + (blocks * walk.half + (t / kLanes) * (walk.length - walk.half)) * kLanes;
    // A whole block is written in place, the last one through `block`.
    double* to = first + n - t >= kLanes ? out + (t - first) : block;
    BlockDistances<V>(rows, tailRows, exact, lengths + t, tails + t, t, walk, to);
    if (to == block)
      for (size_t l = 0; l < first + n - t; ++l) out[t - first + l] = block[l];
  }
}

void WalkPortable(const float* rounded, const double* exact, const float* lengths, const float* tails,
                  const Walk& walk, size_t first, size_t n, double* out) {
  WalkBlocks<Floats4>(rounded, exact, lengths, tails, walk, first, n, out);
}

#if defined(__x86_64__)
#define VQ_WIDE_KERNEL 1
__attribute__((target("avx2"))) void WalkWide(const float* rounded, const double* exact, const float* lengths,
                                               const float* tails, const Walk& walk, size_t first, size_t n,
                                               double* out) {
  WalkBlocks<Floats8>(rounded, exact, lengths, tails, walk, first, n, out);
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
  exact_.resize(count_ * length);
  rounded_.assign(blocks * length * kLanes, 0.0f);
  lengths_.assign(blocks * kLanes, 0.0f);
  tailLengths_.assign(blocks * kLanes, -std::numeric_limits<float>::infinity());
  for (size_t t = 0; t < count_; ++t) {
    std::copy(vectors[t], vectors[t] + length, exact_.begin() + static_cast<std::ptrdiff_t>(t * length));
    for (size_t i = 0; i < length; ++i) {
      const size_t row = i < half_ ? (t / kLanes) * half_ + i
                                   : blocks * half_ + (t / kLanes) * (length - half_) + (i - half_);
      rounded_[row * kLanes + t % kLanes] = static_cast<float>(vectors[t][i]);
    }
    lengths_[t] = static_cast<float>(LengthOf(vectors[t], length));
    tailLengths_[t] = static_cast<float>(LengthOf(vectors[t] + half_, length - half_));
  }
}

void PackedTemplates::Prefetch(size_t t) const {
  if (t >= count_) return;
  const size_t blocks = (count_ + kLanes - 1) / kLanes, block = t / kLanes;
  const float* rows = rounded_.data() + block * half_ * kLanes;
  const float* tail = rounded_.data() + (blocks * half_ + block * (length_ - half_)) * kLanes;
  // Four lines of each part: the rest follows in order, which the processor
  // sees for itself.
  for (size_t line = 0; line < 4; ++line) {
    __builtin_prefetch(rows + line * 16);
    __builtin_prefetch(tail + line * 16);
  }
}

double PackedTemplates::CosineDistance(const double* features, size_t t) const {
  return t < count_ ? ExactDistance(exact_.data() + t * length_, features, length_) : kInfinity;
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
  Query query{features, std::vector<float>(features, features + length_), LengthOf(features, length_),
              LengthOf(features + half_, length_ - half_)};
  return query;
}

void PackedTemplates::CosineDistances(const Query& query, size_t first, size_t n, double* out, double limit,
                                      Kernel kernel, unsigned lanes) const {
  if (n == 0 || first % kLanes != 0 || first + n > count_ || query.rounded.size() != length_) return;
  if (kernel == Kernel::kAuto) kernel = WideKernelAvailable() ? Kernel::kWide : Kernel::kPortable;
  // Vectors long enough for float rounding to matter are not screened.
  // Values out of the floats' range make infinite or undefined sums, which
  // never count as beyond the limit.
  if (length_ > kMaxScreenedLength) limit = kInfinity;
  const Walk walk = {query.features, query.rounded.data(), count_, length_, half_, query.length, query.tailLength,
                     limit, lanes};
#ifdef VQ_WIDE_KERNEL
  if (kernel == Kernel::kWide && WideKernelAvailable()) {
    WalkWide(rounded_.data(), exact_.data(), lengths_.data(), tailLengths_.data(), walk, first, n, out);
    return;
  }
#endif
  WalkPortable(rounded_.data(), exact_.data(), lengths_.data(), tailLengths_.data(), walk, first, n, out);
}

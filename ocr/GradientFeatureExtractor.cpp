#include "ocr/GradientFeatureExtractor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

namespace {

// The one or two zones around a position in zone units, with their weights.
struct ZoneSpan {
  int first, last;
  double firstWeight, lastWeight;
};

ZoneSpan SpanOf(double a, int zones) {
  ZoneSpan span;
  span.first = std::max(0, static_cast<int>(a - 0.5));
  span.last = std::min(zones - 1, static_cast<int>(a + 0.5));
  if (span.first >= span.last) {
    span.last = span.first = std::min(span.first, zones - 1);
    span.firstWeight = span.lastWeight = 1.0;
  } else {
    span.firstWeight = span.last + 0.5 - a;
    span.lastWeight = a - (span.first + 0.5);
  }
  return span;
}

// Sines and cosines of the eight directions (and of a full turn), exact on
// the axes so that an axis-aligned edge feeds one direction only.
constexpr double kHalfRoot = 0.70710678118654752440;
constexpr double kSinTable[9] = {0, kHalfRoot, 1, kHalfRoot, 0, -kHalfRoot, -1, -kHalfRoot, 0};
constexpr double kCosTable[9] = {1, kHalfRoot, 0, -kHalfRoot, -1, -kHalfRoot, 0, kHalfRoot, 1};
const double* const kSin = kSinTable;
const double* const kCos = kCosTable;

// The 45-degree sector of a gradient, counted from rightwards towards
// downwards. On a sector edge either neighbour gives the same split. Worked
// out without branches, the selections as masks (the compiler made branches
// of conditional expressions): gradient directions follow no pattern a
// processor could predict.
int Octant(float x, float y) {
  const int upper = y >= 0, right = x > 0, left = x < 0;
  const int a = y < x, b = y > -x, c = -y < -x, e = -y > x;
  // right ? 1 - a : 3 - b, and left ? 5 - c : 7 - e.
  const int kUpper = 3 - b - (-right & (2 + a - b));
  const int kLower = 7 - e - (-left & (2 + c - e));
  return kLower + (-upper & (kUpper - kLower));
}

// Two doubles, and two floats, in one register.
typedef double Doubles2 __attribute__((vector_size(2 * sizeof(double))));
typedef float Floats2 __attribute__((vector_size(2 * sizeof(float))));

// Adds share (two directions' parts) times weight to directions k and next of
// a zone, each lane rounded to a float as when added one by one.
[[gnu::always_inline]] inline void AddToZone(float* zone, int k, int next, Doubles2 share, double weight) {
  const Floats2 held = {zone[k], zone[next]};
  const Floats2 sum = __builtin_convertvector(__builtin_convertvector(held, Doubles2) + share * weight, Floats2);
  zone[k] = sum[0];
  zone[next] = sum[1];
}

// Adds the two directions' parts of a pixel to the zones of its row and
// column spans.
[[gnu::always_inline]] inline void AddToSpans(const ZoneSpan& rows, const ZoneSpan& cols, int zoneCols,
                                              int directions, int k, double first, double second,
                                              float* histogram) {
  const int next = k + 1 == directions ? 0 : k + 1;
  for (int i = rows.first; i <= rows.last; ++i) {
    const double rowWeight = i == rows.first ? rows.firstWeight : rows.lastWeight;
    for (int j = cols.first; j <= cols.last; ++j) {
      const double weight = rowWeight * (j == cols.first ? cols.firstWeight : cols.lastWeight);
      AddToZone(histogram + (i * zoneCols + j) * directions, k, next, Doubles2{first, second}, weight);
    }
  }
}

// A span as two zones always: a span of one zone is that zone twice, the
// second time of weight 0. Adding 0 leaves a float as it was, so every pixel
// takes the same four steps, without branches. Zones as offsets into the
// histogram.
struct ZonePair {
  int offset[2];
  double weight[2];
};

ZonePair PairOf(const ZoneSpan& span, int stride) {
  return {{span.first * stride, span.last * stride},
          {span.firstWeight, span.first == span.last ? 0.0 : span.lastWeight}};
}

// Four floats in one register: the Sobel sums of four pixels in one go, each
// lane added in the order of the one-pixel sum.
typedef float Floats4 __attribute__((vector_size(4 * sizeof(float))));

Floats4 Load4(const float* p) {
  Floats4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void Store4(float* p, Floats4 v) { std::memcpy(p, &v, sizeof v); }

// The Sobel gradients of one row of C pixels from its padded rows above,
// at and below (C + 2 values each).
void SobelRow(const float* up, const float* mid, const float* down, int C, float* gx, float* gy) {
  int x = 0;
  for (; x + 4 <= C; x += 4) {
    Store4(gy + x, (Load4(down + x) + 2.0f * Load4(down + x + 1) + Load4(down + x + 2)) -
                       (Load4(up + x) + 2.0f * Load4(up + x + 1) + Load4(up + x + 2)));
    Store4(gx + x, (Load4(up + x + 2) + 2.0f * Load4(mid + x + 2) + Load4(down + x + 2)) -
                       (Load4(up + x) + 2.0f * Load4(mid + x) + Load4(down + x)));
  }
  for (; x < C; ++x) {
    gy[x] = (down[x] + 2.0f * down[x + 1] + down[x + 2]) - (up[x] + 2.0f * up[x + 1] + up[x + 2]);
    gx[x] = (up[x + 2] + 2.0f * mid[x + 2] + down[x + 2]) - (up[x] + 2.0f * mid[x] + down[x]);
  }
}

// The intensities of n bytes scaled as NormalizeIntensity scales them, by a
// table of the 256 values. Bytes add up exactly in a float while the total
// stays below 2^24, in any order: so the sum is taken in integers. False
// when the image is too large for that.
bool ScaleTable(const uint8_t* bytes, size_t n, float table[256]) {
  if (n >= (size_t{1} << 24) / 255) return false;
  long total = 0;
  int count = 0;
  for (size_t i = 0; i < n; ++i) {
    total += bytes[i];
    count += bytes[i] != 0;
  }
  for (int b = 0; b < 256; ++b) table[b] = static_cast<float>(b);
  if (count == 0) return true;
  const float mean = static_cast<float>(total) / count;
  for (int b = 1; b < 256; ++b) table[b] = static_cast<float>(b) / mean * 200.0f;
  return true;
}

}  // namespace

void CGradientFeatureExtractorImp::NormalizeIntensity(std::vector<float>& values) {
  float sum = 0.0f;
  int count = 0;
  for (float v : values)
    if (v >= 1.0f) {
      sum += v;
      ++count;
    }
  if (count == 0) return;
  const float mean = sum / count;
  for (float& v : values)
    if (v >= 1.0f) v = v / mean * 200.0f;
}

void CGradientFeatureExtractorImp::DistributeGradient(double a, double b, double s, double g, double theta,
                                                      float* histogram) const {
  const double l = 2.0 * std::numbers::pi / directions_;
  const int k = std::clamp(static_cast<int>(s), 0, directions_ - 1);
  const double t = l * (k + 1) - theta;
  const double sinL = std::cos(l - t) * std::sin(t) + std::cos(t) * std::sin(l - t);
  AddToZones(a, b, k, g * std::sin(t) / sinL, g * std::sin(l - t) / sinL, histogram);
}

void CGradientFeatureExtractorImp::AddToZones(double a, double b, int k, double first, double second,
                                              float* histogram) const {
  AddToSpans(SpanOf(a, zoneRows_), SpanOf(b, zoneCols_), zoneCols_, directions_, k, first, second, histogram);
}

OCRMatrix* CGradientFeatureExtractorImp::Extract(const OCRMatrix* image, int) {
  directions_ = 8;
  if (!IsByteImage(image)) return nullptr;
  const int R = image->rows, C = image->cols;
  const int zh = R / zoneRows_, zw = C / zoneCols_;
  OCRMatrixPtr out(CreateMatrix(OCR_FLOAT, 1, zoneRows_ * zoneCols_ * directions_));
  if (!out || zh == 0 || zw == 0) return out.release();

  const int W = C + 2;
  std::vector<float> P(static_cast<size_t>(R + 2) * W, 0.0f);
  const uint8_t* src = MatrixData<uint8_t>(image);
  float table[256];
  if (ScaleTable(src, static_cast<size_t>(R) * C, table)) {
    for (int y = 0; y < R; ++y)
      for (int x = 0; x < C; ++x)
        P[static_cast<size_t>(y + 1) * W + x + 1] = table[src[static_cast<size_t>(y) * C + x]];
  } else {
    for (int y = 0; y < R; ++y)
      for (int x = 0; x < C; ++x) P[static_cast<size_t>(y + 1) * W + x + 1] = src[static_cast<size_t>(y) * C + x];
    NormalizeIntensity(P);
  }

  // Every pixel of a row (a column) falls into the same zone rows (columns).
  std::vector<ZonePair> rowPairs(static_cast<size_t>(R)), colPairs(static_cast<size_t>(C));
  for (int y = 0; y < R; ++y) rowPairs[y] = PairOf(SpanOf((y + 0.5) / zh, zoneRows_), zoneCols_ * directions_);
  for (int x = 0; x < C; ++x) colPairs[x] = PairOf(SpanOf((x + 0.5) / zw, zoneCols_), directions_);

  // The Sobel gradients of all pixels first, four at a time: row y as gx
  // then gy.
  const std::unique_ptr<float[]> gradients(new float[static_cast<size_t>(R) * C * 2]);
  for (int y = 0; y < R; ++y) {
    const float* up = P.data() + static_cast<size_t>(y) * W;
    float* gx = gradients.get() + static_cast<size_t>(y) * C * 2;
    SobelRow(up, up + W, up + 2 * W, C, gx, gx + C);
  }

  float* histogram = MatrixData<float>(out.get());
  for (int y = 0; y < R; ++y) {
    const float* gxRow = gradients.get() + static_cast<size_t>(y) * C * 2;
    const float* gyRow = gxRow + C;
    for (int x = 0; x < C; ++x) {
      const float gx = gxRow[x], gy = gyRow[x];
      // A flat pixel adds nothing anywhere; most of a glyph is flat.
      if (gx == 0.0f && gy == 0.0f) continue;
      // The gradient (gx, gy) = g (cos theta, sin theta) split between the
      // directions k and k + 1 around it: g sin(l (k + 1) - theta) / sin l and
      // g sin(theta - l k) / sin l, with no angle computed.
      const int k = Octant(gx, gy);
      // Both parts divided in one instruction.
      const Doubles2 parts =
          Doubles2{kSin[k + 1] * gx - kCos[k + 1] * gy, kCos[k] * gy - kSin[k] * gx} / kSin[1];
      // Eight directions (a power of two): the one after k without a branch.
      const int next = (k + 1) & 7;
      const ZonePair& rows = rowPairs[y];
      const ZonePair& cols = colPairs[x];
      for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b)
          AddToZone(histogram + rows.offset[a] + cols.offset[b], k, next, parts, rows.weight[a] * cols.weight[b]);
    }
  }
  return out.release();
}

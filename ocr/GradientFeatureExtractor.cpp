#include "ocr/GradientFeatureExtractor.h"

#include <algorithm>
#include <cmath>
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
// downwards. On a sector edge either neighbour gives the same split.
int Octant(double x, double y) {
  if (y >= 0) return x > 0 ? (y < x ? 0 : 1) : (y > -x ? 2 : 3);
  return x < 0 ? (-y < -x ? 4 : 5) : (-y > x ? 6 : 7);
}

// Adds the two directions' parts of a pixel to the zones of its row and
// column spans.
void AddToSpans(const ZoneSpan& rows, const ZoneSpan& cols, int zoneCols, int directions, int k, double first,
                double second, float* histogram) {
  const double share[2] = {first, second};
  const int direction[2] = {k, (k + 1) % directions};
  for (int i = rows.first; i <= rows.last; ++i) {
    const double rowWeight = i == rows.first ? rows.firstWeight : rows.lastWeight;
    for (int j = cols.first; j <= cols.last; ++j) {
      const double weight = rowWeight * (j == cols.first ? cols.firstWeight : cols.lastWeight);
      float* zone = histogram + (i * zoneCols + j) * directions;
      for (int d = 0; d < 2; ++d)
        zone[direction[d]] = static_cast<float>(static_cast<double>(zone[direction[d]]) + share[d] * weight);
    }
  }
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
  for (int y = 0; y < R; ++y)
    for (int x = 0; x < C; ++x) P[static_cast<size_t>(y + 1) * W + x + 1] = src[static_cast<size_t>(y) * C + x];
  NormalizeIntensity(P);

  // Every pixel of a row (a column) falls into the same zone rows (columns).
  std::vector<ZoneSpan> rowSpans(static_cast<size_t>(R)), colSpans(static_cast<size_t>(C));
  for (int y = 0; y < R; ++y) rowSpans[y] = SpanOf((y + 0.5) / zh, zoneRows_);
  for (int x = 0; x < C; ++x) colSpans[x] = SpanOf((x + 0.5) / zw, zoneCols_);

  float* histogram = MatrixData<float>(out.get());
  auto at = [&](int y, int x) { return P[static_cast<size_t>(y) * W + x]; };
  for (int y = 1; y <= R; ++y)
    for (int x = 1; x <= C; ++x) {
      const float gy = (at(y + 1, x - 1) + 2 * at(y + 1, x) + at(y + 1, x + 1)) -
                       (at(y - 1, x - 1) + 2 * at(y - 1, x) + at(y - 1, x + 1));
      const float gx = (at(y - 1, x + 1) + 2 * at(y, x + 1) + at(y + 1, x + 1)) -
                       (at(y - 1, x - 1) + 2 * at(y, x - 1) + at(y + 1, x - 1));
      // A flat pixel adds nothing anywhere; most of a glyph is flat.
      if (gx == 0.0f && gy == 0.0f) continue;
      // The gradient (gx, gy) = g (cos theta, sin theta) split between the
      // directions k and k + 1 around it: g sin(l (k + 1) - theta) / sin l and
      // g sin(theta - l k) / sin l, with no angle computed.
      const int k = Octant(gx, gy);
      const double first = (kSin[k + 1] * gx - kCos[k + 1] * gy) / kSin[1];
      const double second = (kCos[k] * gy - kSin[k] * gx) / kSin[1];
      AddToSpans(rowSpans[y - 1], colSpans[x - 1], zoneCols_, directions_, k, first, second, histogram);
    }
  return out.release();
}

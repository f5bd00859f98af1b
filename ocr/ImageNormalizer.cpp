#include "ocr/ImageNormalizer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace {

struct InkBox {
  int minX, maxX, minY, maxY;
};

bool FindInkBox(const OCRMatrix* glyph, InkBox* box) {
  *box = {glyph->cols, -1, glyph->rows, -1};
  const uint8_t* p = MatrixData<uint8_t>(glyph);
  for (int y = 0; y < glyph->rows; ++y)
    for (int x = 0; x < glyph->cols; ++x)
      if (p[static_cast<size_t>(y) * glyph->cols + x]) {
        box->minX = std::min(box->minX, x);
        box->maxX = std::max(box->maxX, x);
        box->minY = std::min(box->minY, y);
        box->maxY = std::max(box->maxY, y);
      }
  return box->maxX >= 0;
}

bool IsByteGlyph(const OCRMatrix* glyph) {
  return glyph && glyph->type == OCR_U8 && glyph->rows > 0 && glyph->cols > 0 && glyph->data;
}

// Coefficients of f(t) = a t^2 + b t with f(0) = 0, f(c) = 0.5, f(1) = 1,
// replaced by a monotonic curve where needed and by the identity when the
// centroid lies on the box edge.
void MappingCoefficients(float c, float* a, float* b) {
  const float denominator = c - c * c;
  if (denominator == 0.0f || !std::isfinite(denominator)) {
    *a = 0.0f;
    *b = 1.0f;
    return;
  }
  *a = (c - 0.5f) / denominator;
  *b = (0.5f - c * c) / denominator;
  if (*a > 0 && *b < 0 && *b > -2 * *a) {
    *a = 1.0f;
    *b = 0.0f;
  } else if (*a < 0 && *b > 0 && *b < -2 * *a) {
    *a = -1.0f;
    *b = 2.0f;
  }
}

}  // namespace

OCRMatrix* CLinearNormalizerImp::NormalizeLinear(const OCRMatrix* glyph) {
  if (!IsByteGlyph(glyph)) return nullptr;
  OCRMatrixPtr out(CreateMatrix(OCR_U8, kNormalizedSize, kNormalizedSize));
  if (!out) return nullptr;
  InkBox box;
  if (!FindInkBox(glyph, &box)) return out.release();
  const int w = box.maxX - box.minX + 1, h = box.maxY - box.minY + 1;
  int left = box.minX, top = box.minY, side = std::max(w, h);
  if (h > w) left = static_cast<int>((box.minX + box.maxX + 1) * 0.5 - h * 0.5);
  if (w > h) top = static_cast<int>((box.minY + box.maxY + 1) * 0.5 - w * 0.5);

  cv::Mat square(side, side, CV_8U, cv::Scalar(0));
  const uint8_t* src = MatrixData<uint8_t>(glyph);
  for (int y = 0; y < side; ++y) {
    const int gy = top + y;
    if (gy < 0 || gy >= glyph->rows) continue;
    for (int x = 0; x < side; ++x) {
      const int gx = left + x;
      if (gx >= 0 && gx < glyph->cols) square.at<uint8_t>(y, x) = src[static_cast<size_t>(gy) * glyph->cols + gx];
    }
  }
  cv::Mat resized(kNormalizedSize, kNormalizedSize, CV_8U, out->data);
  try {
    cv::resize(square, resized, resized.size(), 0, 0, cv::INTER_LINEAR);
  } catch (const cv::Exception&) {
    return nullptr;
  }
  if (resized.data != out->data) return nullptr;

  uint8_t* v = MatrixData<uint8_t>(out.get());
  const int n = kNormalizedSize * kNormalizedSize;
  double sum = 0.0;
  int count = 0;
  for (int i = 0; i < n; ++i)
    if (v[i] >= 5) {
      sum += v[i];
      ++count;
    }
  if (count == 0) return out.release();
  const double mean = sum / count;
  // Scaled once per byte value rather than once per pixel.
  uint8_t scaled[256];
  for (int b = 0; b < 256; ++b) scaled[b] = static_cast<uint8_t>(std::min(255.0, 128.0 * b / mean));
  for (int i = 0; i < n; ++i) v[i] = scaled[v[i]];
  return out.release();
}

bool CBiMomentNormalizerImp::ComputeBiMoments(const OCRMatrix* glyph, Moments* m) {
  if (!IsByteGlyph(glyph) || !m) return false;
  std::vector<float> colSum(glyph->cols, 0.0f), rowSum(glyph->rows, 0.0f);
  float total = 0.0f;
  const uint8_t* p = MatrixData<uint8_t>(glyph);
  for (int y = 0; y < glyph->rows; ++y)
    for (int x = 0; x < glyph->cols; ++x) {
      const float value = p[static_cast<size_t>(y) * glyph->cols + x];
      colSum[x] += value;
      rowSum[y] += value;
      total += value;
    }
  if (total <= 0.0f) return false;
  for (float& s : colSum) s /= total;
  for (float& s : rowSum) s /= total;

  // Centroid of a profile and its spreads below and above it.
  auto spreads = [](const std::vector<float>& profile, float* centre, float* low, float* high) {
    float c = 0.0f;
    for (size_t i = 0; i < profile.size(); ++i) c += profile[i] * (i + 0.5f);
    float lowSum = 0, lowMass = 0, highSum = 0, highMass = 0;
    for (size_t i = 0; i < profile.size(); ++i) {
      const float d = i + 0.5f - c;
      if (static_cast<float>(i) < c) {
        lowSum += d * d * profile[i];
        lowMass += profile[i];
      } else {
        highSum += d * d * profile[i];
        highMass += profile[i];
      }
    }
    *centre = c;
    *low = lowMass > 0 ? std::sqrt(lowSum / lowMass) : 0.0f;
    *high = highMass > 0 ? std::sqrt(highSum / highMass) : 0.0f;
  };
  spreads(colSum, &m->xc, &m->left, &m->right);
  spreads(rowSum, &m->yc, &m->up, &m->down);
  return true;
}

OCRMatrix* CBiMomentNormalizerImp::NormalizeMoments(const OCRMatrix* glyph, bool squareOnlyWhenElongated) {
  if (!IsByteGlyph(glyph)) return nullptr;
  OCRMatrixPtr out(CreateMatrix(OCR_U8, kNormalizedSize, kNormalizedSize));
  if (!out) return nullptr;
  Moments m;
  if (!ComputeBiMoments(glyph, &m)) return out.release();

  int x0 = static_cast<int>(std::round(m.xc - 2 * m.left));
  int y0 = static_cast<int>(std::round(m.yc - 2 * m.up));
  int x1 = static_cast<int>(m.xc + 2 * m.right + 0.5f);
  int y1 = static_cast<int>(m.yc + 2 * m.down + 0.5f);
  int W = x1 - x0 + 1, H = y1 - y0 + 1;
  const bool squareWide = squareOnlyWhenElongated ? W > 2 * H : W > H;
  const bool squareTall = squareOnlyWhenElongated ? H > 2 * W : H > W;
  if (squareTall) {
    x0 = static_cast<int>((x0 + x1 + 1) * 0.5 - H * 0.5);
    x1 = x0 + H - 1;
    W = H;
  } else if (squareWide) {
    y0 = static_cast<int>((y0 + y1 + 1) * 0.5 - W * 0.5);
    y1 = y0 + W - 1;
    H = W;
  }
  if (W <= 0 || H <= 0) return out.release();

  float ax, bx, ay, by;
  MappingCoefficients((m.xc - x0) / W, &ax, &bx);
  MappingCoefficients((m.yc - y0) / H, &ay, &by);

  std::vector<float> acc(kNormalizedSize * kNormalizedSize, 0.0f);
  const uint8_t* p = MatrixData<uint8_t>(glyph);
  const float scale = static_cast<float>(kNormalizedSize);
  for (int y = std::max(y0, 0); y <= std::min(y1, glyph->rows - 1); ++y) {
    const int Y = y - y0;
    float top = scale * EvaluateQuadratic(ay, by, 0, static_cast<float>(Y) / H);
    float bottom = scale * EvaluateQuadratic(ay, by, 0, static_cast<float>(Y + 1) / H);
    if (top > bottom) std::swap(top, bottom);
    for (int x = std::max(x0, 0); x <= std::min(x1, glyph->cols - 1); ++x) {
      const uint8_t value = p[static_cast<size_t>(y) * glyph->cols + x];
      if (!value) continue;
      const int X = x - x0;
      float left = scale * EvaluateQuadratic(ax, bx, 0, static_cast<float>(X) / W);
      float right = scale * EvaluateQuadratic(ax, bx, 0, static_cast<float>(X + 1) / W);
      if (left > right) std::swap(left, right);
      for (int oy = std::max(0, static_cast<int>(top)); oy <= std::min(kNormalizedSize - 1, static_cast<int>(bottom)); ++oy) {
        const float dy = std::min(bottom, oy + 1.0f) - std::max(top, static_cast<float>(oy));
        if (dy <= 0) continue;
        for (int ox = std::max(0, static_cast<int>(left)); ox <= std::min(kNormalizedSize - 1, static_cast<int>(right)); ++ox) {
          const float dx = std::min(right, ox + 1.0f) - std::max(left, static_cast<float>(ox));
          if (dx > 0) acc[oy * kNormalizedSize + ox] += value * dx * dy;
        }
      }
    }
  }
  uint8_t* v = MatrixData<uint8_t>(out.get());
  for (size_t i = 0; i < acc.size(); ++i) v[i] = static_cast<uint8_t>(std::min(255.0f, acc[i]));
  return out.release();
}

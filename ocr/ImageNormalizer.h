#pragma once
// Size normalisers: every glyph becomes a 64 x 64 byte image.
#include "ocr/OCRMatrix.h"

constexpr int kNormalizedSize = 64;

class CImageNormalizer {
 public:
  virtual ~CImageNormalizer() = default;
  // A new 64 x 64 byte record (owned by the caller) from a byte glyph whose
  // non-zero bytes are ink; null when the glyph is not a byte record.
  virtual OCRMatrix* Normalize(const OCRMatrix* glyph) = 0;
};

// "LN": the ink's square bounding box resized linearly.
class CLinearNormalizerImp : public CImageNormalizer {
 public:
  OCRMatrix* Normalize(const OCRMatrix* glyph) override { return NormalizeLinear(glyph); }
  OCRMatrix* NormalizeLinear(const OCRMatrix* glyph);
};

// "BI": a box placed by the centroid and one-sided spreads of the ink, mapped
// by quadratics that send the centroid to the middle.
class CBiMomentNormalizerImp : public CImageNormalizer {
 public:
  struct Moments {
    float xc = 0, yc = 0;                         // centroid
    float left = 0, right = 0, up = 0, down = 0;  // one-sided spreads
  };
  OCRMatrix* Normalize(const OCRMatrix* glyph) override { return NormalizeMoments(glyph, false); }
  static bool ComputeBiMoments(const OCRMatrix* glyph, Moments* moments);
  static float EvaluateQuadratic(float a, float b, float c, float t) { return (a * t + b) * t + c; }

 protected:
  // squareOnlyWhenElongated: square the box only when one side is more than
  // twice the other ("B2"); otherwise always ("BI").
  OCRMatrix* NormalizeMoments(const OCRMatrix* glyph, bool squareOnlyWhenElongated);
};

// "B2": BI that keeps a box's aspect unless it is very elongated.
class CB2MomentNormalizerImp : public CBiMomentNormalizerImp {
 public:
  OCRMatrix* Normalize(const OCRMatrix* glyph) override { return NormalizeMoments(glyph, true); }
};

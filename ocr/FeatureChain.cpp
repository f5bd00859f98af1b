#include "ocr/FeatureChain.h"

#include <cstring>

#include "ocr/ModelText.h"

bool FeatureChain::SetDistance(const std::string& name) {
  distance = CreateDistanceMeasurer(name);
  cosine = EqualsNoCase(name, "Cos");
  return distance != nullptr;
}

OCRMatrix* FeatureChain::Compute(const uint8_t* image, int width, int height, bool asColumn) const {
  if (!Complete() || !image || width <= 0 || height <= 0) return nullptr;
  OCRMatrixPtr glyph(CreateMatrix(OCR_U8, height, width));
  if (!glyph) return nullptr;
  std::memcpy(glyph->data, image, static_cast<size_t>(width) * static_cast<size_t>(height));
  OCRMatrixPtr normalized(normalizer->Normalize(glyph.get()));
  if (!normalized) return nullptr;
  OCRMatrix* raw = extractor->Extract(normalized.get(), 0);
  ConvertMatrixToDouble(&raw);
  OCRMatrixPtr features(raw);
  if (!features || features->type != OCR_DOUBLE) return nullptr;
  if (projection || asColumn) {
    OCRMatrix* column = features.release();
    if (!ReshapeMatrix(&column, column->rows * column->cols)) {
      ReleaseMatrix(&column);
      return nullptr;
    }
    features.reset(column);
  }
  if (projection) {
    features.reset(MultiplyMatrix(projection.get(), features.get()));
    if (!features) return nullptr;
  }
  if (cosine) NormalizeMatrixL2(features.get());
  return features.release();
}

bool FeatureChain::FeatureShape(bool asColumn, int* rows, int* cols) const {
  if (!extractor) return false;
  OCRMatrixPtr blank(CreateMatrix(OCR_U8, kNormalizedSize, kNormalizedSize));
  OCRMatrixPtr sample(blank ? extractor->Extract(blank.get(), 0) : nullptr);
  if (!sample) return false;
  const size_t length = OCRElementCount(sample.get());
  if (projection) {
    if (static_cast<size_t>(projection->cols) != length || projection->rows <= 0) return false;
    *rows = projection->rows;
    *cols = 1;
  } else if (asColumn) {
    *rows = static_cast<int>(length);
    *cols = 1;
  } else {
    *rows = sample->rows;
    *cols = sample->cols;
  }
  return *rows > 0 && *cols > 0;
}

bool GlyphHasInk(const uint8_t* image, int width, int height) {
  if (!image || width <= 0 || height <= 0) return false;
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  for (size_t i = 0; i < n; ++i)
    if (image[i]) return true;
  return false;
}

#pragma once
// The chain that turns a glyph into the feature vector a model compares:
// normaliser, extractor, doubles, optional projection, optional unit length.
#include <memory>
#include <string>

#include "ocr/ComponentFactory.h"
#include "ocr/OCRMatrix.h"

struct FeatureChain {
  std::unique_ptr<CImageNormalizer> normalizer;
  std::unique_ptr<CFeatureExtractor> extractor;
  std::unique_ptr<CDistanceMeasurer> distance;
  OCRMatrixPtr projection;  // doubles, r x D
  bool cosine = false;

  bool Complete() const { return normalizer && extractor && distance; }
  // Sets the distance by name (cosine when it is "Cos"); false for an unknown name.
  bool SetDistance(const std::string& name);
  // Features of a glyph of height rows x width bytes, owned by the caller. The
  // unprojected features become a column when asColumn is set. Null on failure.
  OCRMatrix* Compute(const uint8_t* image, int width, int height, bool asColumn) const;
  // The shape Compute gives; false when the projection does not fit the extractor.
  bool FeatureShape(bool asColumn, int* rows, int* cols) const;
};

// True when a glyph of height rows x width bytes has a non-zero byte.
bool GlyphHasInk(const uint8_t* image, int width, int height);

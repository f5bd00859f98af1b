#pragma once
// The character classifier engine: loads one model file and returns the N
// best two-byte (GBK) labels of a glyph with their distances.
#include <cstdint>
#include <memory>

#include "ocr/OCRInterface.h"

class COCREngine {
 public:
  COCREngine() = default;
  ~COCREngine() { Release(); }
  COCREngine(const COCREngine&) = delete;
  COCREngine& operator=(const COCREngine&) = delete;

  // Reads the model; the first record names the classifier ("NEW" multi-template,
  // "NEW:MQDF" or "NEW:RLDA_PLUS_MQDF"). False when it is missing or broken.
  bool Load(const char* modelPath);
  // image: height rows of width bytes, 0 background, anything else ink.
  // labels: room for 2 * count + 1 bytes; receives the count best labels, best
  // first, NUL-terminated. distances (optional): count doubles, ascending.
  // False before a successful Load, for a glyph without ink or on failure.
  bool Recognize(const uint8_t* image, int width, int height, char* labels, int count, double* distances);
  // Where the labels' glyphs lie on a line; null when the model does not tell.
  const GlyphGeometry* Geometry() const;
  // Frees the model data; the classifier object stays until Release.
  void Unload();
  void Release();

 private:
  std::unique_ptr<COCRInterface> classifier_;
};

#pragma once
// The classifier behind the engine: loads a model file and recognises glyphs.
#include <cstdint>

class GlyphGeometry;

class COCRInterface {
 public:
  virtual ~COCRInterface() = default;
  // Reads the whole model file; false when it is missing or broken.
  virtual bool Load(const char* modelPath) = 0;
  // Frees all model data and components.
  virtual void Release() = 0;
  // The `count` best labels (two bytes each, concatenated, NUL-terminated)
  // and their ascending distances for a glyph of height rows x width bytes,
  // non-zero bytes being ink. False without ink or without a usable model.
  virtual bool Recognize(const uint8_t* image, int width, int height, char* labels, int count,
                         double* distances) = 0;
  // Where the labels' glyphs lie on a line, when the model tells.
  virtual const GlyphGeometry* Geometry() const { return nullptr; }
};

#pragma once
// Where each character's ink lies on a line of print, from the model file:
// in units of the line's Chinese glyph box (its ink's top 0, bottom 1), the
// mean and spread of a character's top, bottom and width. Sizes and heights
// tell apart glyphs of one shape ("o", "O" and "。"; "," and "'"), and say
// whether a cell is a whole Chinese glyph or a half-width one.
#include <cstdint>
#include <string>
#include <unordered_map>

#include "ocr/FileOperator.h"

struct GlyphPlace {
  double top = 0.0, topSpread = 0.0;
  double bottom = 1.0, bottomSpread = 0.0;
  double width = 1.0, widthSpread = 0.0;
};

class GlyphGeometry {
 public:
  static constexpr int kColumns = 6;  // the GlyphPlace values in order

  // Reads the two records after a "GEO" tag: the labels (one text record of
  // two bytes each) and a labels x 6 table of doubles. False when they do
  // not fit together or a value is not finite or a spread not positive.
  bool Read(CFileOperator& file);
  // Writes the "GEO" tag and its two records; 0 on success.
  static int Write(CFileOperator& file, const std::string& labels, const double* table);
  // The place of a two-byte label; null when the model has none.
  const GlyphPlace* Find(const char* label) const;
  bool Empty() const { return places_.empty(); }
  void Clear() { places_.clear(); }

 private:
  std::unordered_map<uint16_t, GlyphPlace> places_;
};

#pragma once
// Candidate glyph cells of a text line and their readings.
#include "ocr/OCRList.h"
#include "ocr/OCRString.h"

// One reading of a cell: a two-byte label, or " " for a rejected cell.
struct OCRAlternative {
  OCRString text;
  double score = 0.0;  // 1 - distance, never below 0
};

// One candidate cell; its rectangle is in the block image.
struct OCRCandidate {
  OCRList<OCRAlternative> alternatives;  // best first
  double bestDistance = 0.0;
  int left = 0;
  int top = 0;     // first row holding ink
  int height = 0;  // first to last ink row, inclusive
  int width = 0;

  int Right() const { return left + width - 1; }
};

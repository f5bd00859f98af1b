#pragma once
// Training glyphs of the recognition model: the GB2312 level-1 characters,
// digits, Latin letters and the signs of print, printed in free CJK fonts,
// cut and measured the way the page recogniser cuts and measures a glyph on
// a page, with the place of each glyph's ink on its line.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "scene/CjkText.h"

struct ModelCharacter {
  std::string gbk;  // the two-byte label
  // What is printed for it: a half-width sign and its full-width form share
  // one label (the full-width one's), the recogniser picks the width.
  std::vector<char32_t> codes;
};

// The 3,755 characters of GB2312 level 1 (GBK B0A1 to D7F9).
std::vector<ModelCharacter> Gb2312Level1();
// Level 1, then the digits, the Latin letters in both cases, the ASCII signs
// and the common Chinese punctuation.
std::vector<ModelCharacter> ModelCharacters();

// How one sample is printed and scanned.
struct PrintVariant {
  int pixels;        // em size
  double blur;       // Gaussian sigma, 0 for none
  double noise;      // sigma of the added grey noise
  int paper;         // paper and ink grey levels
  int ink;
  int weight;        // strokes thickened (+1) or thinned (-1) by a pixel, or kept (0)
  // Small print is enlarged by this factor and sharpened, as the page
  // recogniser enlarges it; 1 for print read at its own size.
  double enlarge = 1.0;
  // Photographed: the glyph drawn finer than the camera's pixels, taken in
  // by them at a small turn and an offset within a pixel, and turned back
  // as the crop straightens the page (the blur and noise fall between).
  bool photographed = false;
};

// The glyph the recogniser would read for the character printed alone with
// this variant; empty when the font lacks it. `place`, when given, receives
// the cell's top and bottom below the baseline and its width, in ems.
cv::Mat PrintedGlyph(vqscene::CjkTextRenderer& renderer, char32_t code, const PrintVariant& variant, cv::RNG& rng,
                     cv::Vec3f* place = nullptr);

// Features of every character in every font and variant, one row each
// (512 gradient features of the engine's own chain, not projected), with the
// character index and the cell's place of each row. Work is spread over
// `threads` threads.
struct GlyphSamples {
  cv::Mat features;  // CV_32F
  cv::Mat places;    // CV_32F, top, bottom and width as PrintedGlyph gives them
  std::vector<int> classes;
  std::vector<int> fonts;     // index into the font list
  std::vector<int> variants;  // index into the variant list
};
GlyphSamples MeasureGlyphs(const std::vector<ModelCharacter>& characters, const std::vector<vqscene::CjkFont>& fonts,
                           const std::vector<PrintVariant>& variants, int threads, uint64_t seed);

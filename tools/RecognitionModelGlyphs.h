#pragma once
// Training glyphs of the recognition model: the GB2312 level-1 characters
// printed in free CJK fonts, cut and measured the way the page recogniser
// cuts and measures a glyph on a page.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "scene/CjkText.h"

struct ModelCharacter {
  std::string gbk;  // the two-byte label
  char32_t code;
};

// The 3,755 characters of GB2312 level 1 (GBK B0A1 to D7F9).
std::vector<ModelCharacter> Gb2312Level1();

// How one sample is printed and scanned.
struct PrintVariant {
  int pixels;        // em size
  double blur;       // Gaussian sigma, 0 for none
  double noise;      // sigma of the added grey noise
  int paper;         // paper and ink grey levels
  int ink;
  int weight;        // strokes thickened (+1) or thinned (-1) by a pixel, or kept (0)
};

// The glyph the recogniser would read for the character printed alone with
// this variant; empty when the font lacks it.
cv::Mat PrintedGlyph(vqscene::CjkTextRenderer& renderer, char32_t code, const PrintVariant& variant, cv::RNG& rng);

// Features of every character in every font and variant, one row each
// (512 gradient features of the engine's own chain, not projected), with the
// character index of each row. Work is spread over `threads` threads.
struct GlyphSamples {
  cv::Mat features;  // CV_32F
  std::vector<int> classes;
  std::vector<int> fonts;  // index into the font list
};
GlyphSamples MeasureGlyphs(const std::vector<ModelCharacter>& characters, const std::vector<vqscene::CjkFont>& fonts,
                           const std::vector<PrintVariant>& variants, int threads, uint64_t seed);

#pragma once
// Printed pages for the recognition scenes: text set in paragraphs on a
// sheet's printed side, and that sheet photographed on a desk by a document
// camera (uneven light, a shadow, blur and noise).
#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

#include "scene/CjkText.h"
#include "scene/Scene.h"

namespace vqscene {

struct PrintedText {
  cv::Mat print;        // 8-bit grey, 255 paper, 0 ink
  std::u32string text;  // the characters in reading order, without spaces
};

// Chinese paragraphs at an em size of `em` pixels: each paragraph starts two
// ems in and ends on a shorter line. Characters are drawn at random from
// `pool`. Margins are about 8 % of the page on every side.
PrintedText SetChineseParagraphs(CjkTextRenderer& renderer, cv::Size size, int em, const std::u32string& pool,
                                 cv::RNG& rng);
// English paragraphs of random common words in a proportional face.
cv::Mat SetEnglishParagraphs(CjkTextRenderer& renderer, cv::Size size, int em, cv::RNG& rng);
// Chinese paragraphs as documents hold them: sentences from `pool` with
// Chinese punctuation (，。、；：？！“”‘’（）《》【】—…·), dates, amounts,
// times, part numbers and English words. Letters, digits and the ASCII
// signs among them are half-width, set in the face's own proportional
// glyphs; the text records them as printed.
PrintedText SetMixedParagraphs(CjkTextRenderer& renderer, cv::Size size, int em, const std::u32string& pool,
                               cv::RNG& rng);

// How the camera sees a sheet on the desk.
struct DeskLight {
  double blur = 1.0;        // defocus sigma, pixels
  double noise = 3.0;       // sensor noise sigma, grey levels
  double vignetting = 0.3;  // light lost in the frame's corners
  bool shadow = true;       // something above the desk shades a corner of the sheet
  double exposure = 1.0;    // share of the light the camera keeps (a dim room: 0.3)
};

// A desk with one sheet carrying `print` (upright, its pixels as large as
// the sheet's in the frame), turned by `angle` degrees, as large as fits
// 90 % of the frame's shorter side. `seed` places the sheet and its shade.
// A `tilt` lifts the sheet's top edge that many degrees toward the camera
// (a lens with a 60 degree field across the frame): the top comes out
// wider than the bottom. A print `supersample` times finer than the frame
// (its pixels that many to a frame pixel along each side) is seen as a
// sensor sees paper: each frame pixel takes in its area.
Scene PhotographedSheet(const cv::Mat& print, cv::Size frame, float angle, const DeskLight& light,
                        std::uint64_t seed, float tilt = 0.0f, int supersample = 1);
// Levenshtein distance between what a page holds and what was read.
int EditDistance(const std::u32string& truth, const std::u32string& read);

// Chinese characters, Latin letters and digits (half-width), and the rest.
enum class CharacterKind { kChinese, kLatin, kOther };
CharacterKind KindOf(char32_t c);
// The characters of one kind alone.
std::u32string OfKind(const std::u32string& text, CharacterKind kind);
// 1 - edit distance / length over the characters of one kind alone (what was
// read as another kind counts as missing); -1 when the truth holds none.
double KindAccuracy(const std::u32string& truth, const std::u32string& read, CharacterKind kind);

// The print's size for a sheet of paper proportions (height / width 1.414)
// photographed that way, upright or lying.
cv::Size SheetPixels(cv::Size frame, bool lying);

}  // namespace vqscene

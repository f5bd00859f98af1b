#pragma once
// Printed Chinese text for the synthetic scenes: glyphs and lines drawn with
// FreeType from the free CJK fonts that scripts/setup installs.
#include <string>
#include <string_view>
#include <vector>

#include <opencv2/core.hpp>

namespace vqscene {

struct CjkFont {
  std::string name;
  std::string path;
  int face = 0;  // face index inside a font collection
};

// Song (serif) and Hei (sans) faces that print text is mostly set in, and a Kai.
CjkFont SongFont();        // Noto Serif CJK SC
CjkFont HeiFont();         // WenQuanYi Micro Hei
CjkFont SungtiFont();      // AR PL SungtiL GB
CjkFont SansFont();        // Noto Sans CJK SC
CjkFont KaiFont();         // AR PL KaitiM GB
bool FontInstalled(const CjkFont& font);

class CjkTextRenderer {
 public:
  explicit CjkTextRenderer(const CjkFont& font);
  ~CjkTextRenderer();
  CjkTextRenderer(const CjkTextRenderer&) = delete;
  CjkTextRenderer& operator=(const CjkTextRenderer&) = delete;

  bool Ok() const { return face_ != nullptr; }

  // One glyph at an em size of `pixels`: coverage (0 paper .. 255 ink) and
  // its place relative to the pen on the baseline (left, up).
  struct Glyph {
    cv::Mat coverage;
    int left = 0;
    int top = 0;
    int advance = 0;  // the pen's step to the next glyph
  };
  bool RenderGlyph(char32_t code, int pixels, Glyph* glyph);

  // Draws the characters from `origin` (the top left of the first em box)
  // every `pitch` pixels to the right, darkening an 8-bit one-channel page
  // towards `ink`. Characters the font lacks leave a gap.
  void DrawLine(cv::Mat& page, std::u32string_view text, cv::Point origin, int pixels, int pitch, int ink = 0);
  // Draws proportional text (any face, Latin too) with its baseline through
  // `pen`, each glyph advancing the pen by its own width; returns the pen's
  // final x.
  int DrawProportional(cv::Mat& page, std::u32string_view text, cv::Point pen, int pixels, int ink = 0);

 private:
  static void Blit(cv::Mat& page, const Glyph& glyph, cv::Point pen, int ink);

  void* library_ = nullptr;
  void* face_ = nullptr;
};

// A white page (255) with the lines drawn one below the other, each starting
// at `origin.x`, the em size `pixels`, `pitch` apart in a line and
// `lineSpacing` apart from line to line.
cv::Mat RenderTextLines(CjkTextRenderer& renderer, cv::Size size, const std::vector<std::u32string>& lines,
                        cv::Point origin, int pixels, int pitch, int lineSpacing);

}  // namespace vqscene

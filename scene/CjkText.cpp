#include "scene/CjkText.h"

#include <filesystem>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace vqscene {

CjkFont SongFont() { return {"Noto Serif CJK SC", "/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc", 2}; }
CjkFont HeiFont() { return {"WenQuanYi Micro Hei", "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", 0}; }
CjkFont SungtiFont() { return {"AR PL SungtiL GB", "/usr/share/fonts/truetype/arphic-gbsn00lp/gbsn00lp.ttf", 0}; }
CjkFont SansFont() { return {"Noto Sans CJK SC", "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", 2}; }
CjkFont KaiFont() { return {"AR PL KaitiM GB", "/usr/share/fonts/truetype/arphic-gkai00mp/gkai00mp.ttf", 0}; }

bool FontInstalled(const CjkFont& font) {
  std::error_code error;
  return std::filesystem::is_regular_file(font.path, error);
}

CjkTextRenderer::CjkTextRenderer(const CjkFont& font) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return;
  library_ = library;
  FT_Face face = nullptr;
  if (FT_New_Face(library, font.path.c_str(), font.face, &face) == 0) face_ = face;
}

CjkTextRenderer::~CjkTextRenderer() {
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

bool CjkTextRenderer::RenderGlyph(char32_t code, int pixels, Glyph* glyph) {
  auto face = static_cast<FT_Face>(face_);
  if (!face || FT_Get_Char_Index(face, code) == 0) return false;
  // Outlines, never a face's own bitmaps for small sizes: print is drawn
  // from outlines, and those bitmaps may be one bit a pixel.
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0 ||
      FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP) != 0)
    return false;
  const FT_Bitmap& bitmap = face->glyph->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows > 0) return false;
  glyph->coverage = cv::Mat::zeros(static_cast<int>(bitmap.rows), static_cast<int>(bitmap.width), CV_8U);
  for (unsigned y = 0; y < bitmap.rows; ++y)
    for (unsigned x = 0; x < bitmap.width; ++x)
      glyph->coverage.at<uint8_t>(static_cast<int>(y), static_cast<int>(x)) = bitmap.buffer[y * bitmap.pitch + x];
  glyph->left = face->glyph->bitmap_left;
  glyph->top = face->glyph->bitmap_top;
  glyph->advance = static_cast<int>((face->glyph->advance.x + 32) >> 6);
  return true;
}

void CjkTextRenderer::Blit(cv::Mat& page, const Glyph& glyph, cv::Point pen, int ink) {
  const int x0 = pen.x + glyph.left, y0 = pen.y - glyph.top;
  for (int y = 0; y < glyph.coverage.rows; ++y)
    for (int x = 0; x < glyph.coverage.cols; ++x) {
      const int px = x0 + x, py = y0 + y;
      if (px < 0 || py < 0 || px >= page.cols || py >= page.rows) continue;
      const int a = glyph.coverage.at<uint8_t>(y, x);
      uint8_t& p = page.at<uint8_t>(py, px);
      p = static_cast<uint8_t>((p * (255 - a) + ink * a) / 255);
    }
}

void CjkTextRenderer::DrawLine(cv::Mat& page, std::u32string_view text, cv::Point origin, int pixels, int pitch,
                               int ink) {
  if (!face_ || page.type() != CV_8UC1) return;
  // The baseline sits at the em box's ascent share (0.88 of the em for CJK faces).
  const int baseline = origin.y + pixels * 88 / 100;
  for (size_t i = 0; i < text.size(); ++i) {
    Glyph glyph;
    if (RenderGlyph(text[i], pixels, &glyph))
      Blit(page, glyph, {origin.x + static_cast<int>(i) * pitch, baseline}, ink);
  }
}

int CjkTextRenderer::DrawProportional(cv::Mat& page, std::u32string_view text, cv::Point pen, int pixels, int ink) {
  if (!face_ || page.type() != CV_8UC1) return pen.x;
  for (char32_t code : text) {
    Glyph glyph;
    if (!RenderGlyph(code, pixels, &glyph)) continue;
    Blit(page, glyph, pen, ink);
    pen.x += glyph.advance;
  }
  return pen.x;
}

cv::Mat RenderTextLines(CjkTextRenderer& renderer, cv::Size size, const std::vector<std::u32string>& lines,
                        cv::Point origin, int pixels, int pitch, int lineSpacing) {
  cv::Mat page(size, CV_8U, cv::Scalar::all(255));
  for (size_t i = 0; i < lines.size(); ++i)
    renderer.DrawLine(page, lines[i], origin + cv::Point(0, static_cast<int>(i) * lineSpacing), pixels, pitch);
  return page;
}

}  // namespace vqscene

// Real glyphs: characters rendered from a CJK font train a multi-template
// model through the engine's own feature chain, and renders at other sizes,
// blurred, are recognised.
#include <gtest/gtest.h>

#include <iconv.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <filesystem>
#include <opencv2/imgproc.hpp>

#include "ocr/FeatureChain.h"
#include "ocr/OCREngine.h"
#include "tests/ocr/ModelWriter.h"

using namespace ocrtest;

namespace {

const char* const kFontPath = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
const char* const kCharacters =
    "大人天子手了不正中口日目一明上下山水火木金土王田白月心工十八九七六五四三二生出入小少";

// Converts UTF-8 text between encodings with iconv.
std::string Convert(const std::string& text, const char* to) {
  iconv_t cd = iconv_open(to, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
  std::string out(text.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size(), outLeft = out.size();
  char* dst = out.data();
  const size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return std::string();
  out.resize(out.size() - outLeft);
  return out;
}

struct Character {
  char32_t code;
  std::string gbk;
};

std::vector<Character> Characters() {
  const std::string utf32 = Convert(kCharacters, "UTF-32LE");
  const std::string gbk = Convert(kCharacters, "GBK");
  std::vector<Character> list;
  for (size_t i = 0; i * 4 < utf32.size(); ++i) {
    char32_t code = 0;
    for (int b = 3; b >= 0; --b) code = code << 8 | static_cast<uint8_t>(utf32[i * 4 + b]);
    list.push_back({code, gbk.substr(2 * i, 2)});
  }
  return list;
}

class FontRenderer {
 public:
  FontRenderer() {
    if (FT_Init_FreeType(&library_) == 0) ok_ = FT_New_Face(library_, kFontPath, 0, &face_) == 0;
  }
  ~FontRenderer() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  bool ok() const { return ok_; }
  // The glyph's coverage (ink > 0) on a canvas with a margin of 4 pixels.
  cv::Mat Render(char32_t code, int pixels) {
    cv::Mat canvas;
    if (FT_Set_Pixel_Sizes(face_, 0, pixels) != 0 || FT_Load_Char(face_, code, FT_LOAD_RENDER) != 0) return canvas;
    const FT_Bitmap& bitmap = face_->glyph->bitmap;
    canvas = cv::Mat::zeros(static_cast<int>(bitmap.rows) + 8, static_cast<int>(bitmap.width) + 8, CV_8U);
    for (unsigned y = 0; y < bitmap.rows; ++y)
      for (unsigned x = 0; x < bitmap.width; ++x)
        canvas.at<uint8_t>(static_cast<int>(y) + 4, static_cast<int>(x) + 4) = bitmap.buffer[y * bitmap.pitch + x];
    return canvas;
  }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  bool ok_ = false;
};

}  // namespace

TEST(RenderedGlyphs, MultiTemplateModelRecognisesOtherSizesBlurred) {
  ASSERT_TRUE(std::filesystem::exists(kFontPath)) << "fonts-wqy-microhei is missing (scripts/setup installs it)";
  FontRenderer font;
  ASSERT_TRUE(font.ok());
  const std::vector<Character> characters = Characters();
  ASSERT_EQ(42u, characters.size());

  // Train: the engine's own chain (LN, GRA, Cos) on renders at three sizes.
  FeatureChain chain;
  chain.normalizer = CreateImageNormalizer("LN");
  chain.extractor = CreateFeatureExtractor("GRA");
  ASSERT_TRUE(chain.SetDistance("Cos"));
  ModelWriter model;
  model.Text("NEW").Text("LN").Text("GRA").Text("Cos");
  for (const Character& c : characters)
    for (int size : {32, 40, 48}) {
      const cv::Mat glyph = font.Render(c.code, size);
      ASSERT_FALSE(glyph.empty());
      OCRMatrixPtr features(chain.Compute(glyph.data, glyph.cols, glyph.rows, false));
      ASSERT_TRUE(features);
      model.Text(c.gbk).Doubles(features->rows, features->cols,
                                std::vector<double>(MatrixData<double>(features.get()),
                                                    MatrixData<double>(features.get()) + OCRElementCount(features.get())));
    }

  COCREngine engine;
  ASSERT_TRUE(engine.Load(model.Save("rendered.tpl").c_str()));

  // Recognise: other sizes, blurred.
  int tried = 0, correct = 0;
  std::string misreads;
  for (const Character& c : characters)
    for (int size : {28, 36, 56}) {
      cv::Mat glyph = font.Render(c.code, size);
      cv::GaussianBlur(glyph, glyph, cv::Size(5, 5), 1.0);
      char labels[2 * 3 + 1] = {};
      double distances[3] = {};
      ASSERT_TRUE(engine.Recognize(glyph.data, glyph.cols, glyph.rows, labels, 3, distances));
      EXPECT_LE(distances[0], distances[1]);
      ++tried;
      if (std::string(labels, 2) == c.gbk) {
        ++correct;
        EXPECT_LT(distances[0], 0.32) << Convert(c.gbk, "UTF-8");
      } else {
        misreads += " " + Convert(c.gbk, "UTF-8") + "->" + Convert(std::string(labels, 2), "UTF-8") + "@" + std::to_string(size);
      }
    }
  const double accuracy = static_cast<double>(correct) / tried;
  RecordProperty("accuracy", std::to_string(accuracy));
  EXPECT_GE(accuracy, 0.95) << correct << " of " << tried << "; misread:" << misreads;
  std::printf("rendered glyphs: %d of %d read correctly;%s\n", correct, tried, misreads.c_str());
}

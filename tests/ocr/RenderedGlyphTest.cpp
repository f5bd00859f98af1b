// Real glyphs: characters rendered from a CJK font train a multi-template
// model through the engine's own feature chain, and renders at other sizes,
// blurred, are recognised.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <opencv2/imgproc.hpp>

#include "ocr/FeatureChain.h"
#include "ocr/OCREngine.h"
#include "tests/ocr/ModelWriter.h"
#include "tests/ocr/PrintedText.h"

using namespace ocrtest;

namespace {

const char* const kCharacters =
    "大人天子手了不正中口日目一明上下山水火木金土王田白月心工十八九七六五四三二生出入小少";

struct Character {
  char32_t code;
  std::string gbk;
};

std::vector<Character> Characters() {
  std::vector<Character> list;
  for (char32_t code : Codes(kCharacters)) list.push_back({code, vq::WideToGbk(std::wstring(1, static_cast<wchar_t>(code)))});
  return list;
}

// The glyph's coverage (ink > 0) on a canvas with a margin of 4 pixels.
cv::Mat Render(vqscene::CjkTextRenderer& font, char32_t code, int pixels) {
  vqscene::CjkTextRenderer::Glyph glyph;
  cv::Mat canvas;
  if (!font.RenderGlyph(code, pixels, &glyph)) return canvas;
  cv::copyMakeBorder(glyph.coverage, canvas, 4, 4, 4, 4, cv::BORDER_CONSTANT, cv::Scalar::all(0));
  return canvas;
}

}  // namespace

TEST(RenderedGlyphs, MultiTemplateModelRecognisesOtherSizesBlurred) {
  ASSERT_TRUE(vqscene::FontInstalled(vqscene::HeiFont())) << "fonts-wqy-microhei is missing (scripts/setup installs it)";
  vqscene::CjkTextRenderer font(vqscene::HeiFont());
  ASSERT_TRUE(font.Ok());
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
      const cv::Mat glyph = Render(font, c.code, size);
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
      cv::Mat glyph = Render(font, c.code, size);
      cv::GaussianBlur(glyph, glyph, cv::Size(5, 5), 1.0);
      char labels[2 * 3 + 1] = {};
      double distances[3] = {};
      ASSERT_TRUE(engine.Recognize(glyph.data, glyph.cols, glyph.rows, labels, 3, distances));
      EXPECT_LE(distances[0], distances[1]);
      ++tried;
      if (std::string(labels, 2) == c.gbk) {
        ++correct;
        EXPECT_LT(distances[0], 0.32) << Utf8(c.gbk);
      } else {
        misreads += " " + Utf8(c.gbk) + "->" + Utf8(std::string(labels, 2)) + "@" + std::to_string(size);
      }
    }
  const double accuracy = static_cast<double>(correct) / tried;
  RecordProperty("accuracy", std::to_string(accuracy));
  EXPECT_GE(accuracy, 0.95) << correct << " of " << tried << "; misread:" << misreads;
  std::printf("rendered glyphs: %d of %d read correctly;%s\n", correct, tried, misreads.c_str());
}

#include "tools/RecognitionModelGlyphs.h"

#include <climits>
#include <cstring>
#include <thread>

#include <opencv2/imgproc.hpp>

#include "ocr/FeatureChain.h"
#include "ocr/PageFocus.h"
#include "ocr/TextLineSegmentation.h"
#include "platform/win/Encoding.h"

std::vector<ModelCharacter> Gb2312Level1() {
  std::vector<ModelCharacter> characters;
  for (int row = 0xB0; row <= 0xD7; ++row)
    for (int cell = 0xA1; cell <= 0xFE; ++cell) {
      if (row == 0xD7 && cell > 0xF9) break;  // the level ends at D7F9
      const std::string gbk{static_cast<char>(row), static_cast<char>(cell)};
      const std::wstring wide = vq::GbkToWide(gbk);
      if (wide.size() == 1) characters.push_back({gbk, {static_cast<char32_t>(wide[0])}});
    }
  return characters;
}

std::vector<ModelCharacter> ModelCharacters() {
  std::vector<ModelCharacter> characters = Gb2312Level1();
  auto gbk = [](char32_t c) { return vq::WideToGbk(std::wstring(1, static_cast<wchar_t>(c))); };
  // Half-width letters, digits and signs go under their full-width forms'
  // labels; a Chinese text's own full-width signs are printed for them too.
  const std::u32string half =
      U"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz!\"#$%&'()*+,-./:;<=>?@[\\]^_{|}~";
  const std::u32string alsoFull = U"!%(),:;?";
  constexpr char32_t kToFullWidth = 0xFEE0;
  for (char32_t c : half) {
    ModelCharacter character{gbk(c + kToFullWidth), {c}};
    if (alsoFull.find(c) != std::u32string::npos) character.codes.push_back(c + kToFullWidth);
    if (character.gbk.size() == 2) characters.push_back(character);
  }
  for (char32_t c : std::u32string(U"、。“”‘’《》【】—…·"))
    if (gbk(c).size() == 2) characters.push_back({gbk(c), {c}});
  return characters;
}

namespace {

// A photographed glyph is drawn this many times finer than the camera's pixels.
constexpr int kFine = 3;
// The turns of a page under the camera, degrees either way.
constexpr double kLargestTurn = 4.0;

// A turn by `degrees` about the image's middle, scaled by `scale` (the
// output `size` about its own middle) and shifted by `offset` pixels.
cv::Matx23d TurnAbout(cv::Size from, cv::Size size, double degrees, double scale, cv::Point2d offset) {
  cv::Matx23d m = cv::getRotationMatrix2D(cv::Point2f(from.width / 2.0f, from.height / 2.0f), degrees, scale);
  m(0, 2) += size.width / 2.0 - from.width / 2.0 + offset.x;
  m(1, 2) += size.height / 2.0 - from.height / 2.0 + offset.y;
  return m;
}

}  // namespace

cv::Mat PrintedGlyph(vqscene::CjkTextRenderer& renderer, char32_t code, const PrintVariant& variant, cv::RNG& rng,
                     cv::Vec3f* place) {
  const int fine = variant.photographed ? kFine : 1;
  vqscene::CjkTextRenderer::Glyph glyph;
  if (!renderer.RenderGlyph(code, variant.pixels * fine, &glyph) || glyph.coverage.empty()) return cv::Mat();
  cv::Mat coverage = glyph.coverage;
  if (variant.weight > 0) cv::dilate(coverage, coverage, cv::Mat::ones(2, 2, CV_8U));
  if (variant.weight < 0) cv::erode(coverage, coverage, cv::Mat::ones(2, 2, CV_8U));

  // Paper around the glyph, as wide as the page threshold's neighbourhood needs.
  const int margin = (variant.pixels / 2 + 4) * fine;
  cv::Mat grey(coverage.rows + 2 * margin, coverage.cols + 2 * margin, CV_32F, cv::Scalar::all(variant.paper));
  cv::Mat inked = grey(cv::Rect(margin, margin, coverage.cols, coverage.rows));
  cv::Mat share;
  coverage.convertTo(share, CV_32F, 1.0 / 255.0);
  inked -= share * (variant.paper - variant.ink);
  double turn = 0.0;
  if (variant.photographed) {
    // Each camera pixel takes in its area of the paper.
    cv::GaussianBlur(grey, grey, cv::Size(), 0.2887 * fine);
    turn = rng.uniform(-kLargestTurn, kLargestTurn);
    const cv::Size seen(grey.cols / fine, grey.rows / fine);
    const cv::Point2d offset(rng.uniform(-0.5, 0.5), rng.uniform(-0.5, 0.5));
    cv::warpAffine(grey, grey, TurnAbout(grey.size(), seen, turn, 1.0 / fine, offset), seen, cv::INTER_LINEAR,
                   cv::BORDER_REPLICATE);
  }
  if (variant.blur > 0) cv::GaussianBlur(grey, grey, cv::Size(), variant.blur);
  if (variant.noise > 0) {
    cv::Mat noise(grey.size(), CV_32F);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, variant.noise);
    grey += noise;
  }
  cv::Mat grey8;
  grey.convertTo(grey8, CV_8U);
  if (variant.photographed) {
    // The crop turns the frame's page back.
    const cv::Point2d offset(rng.uniform(-0.5, 0.5), rng.uniform(-0.5, 0.5));
    cv::warpAffine(grey8, grey8, TurnAbout(grey8.size(), grey8.size(), -turn, 1.0, offset), grey8.size(),
                   cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  }
  if (variant.enlarge != 1.0) {
    cv::resize(grey8, grey8, cv::Size(), variant.enlarge, variant.enlarge, cv::INTER_CUBIC);
    cv::Mat sharpened;
    if (SharpenSoftPage(grey8, &sharpened)) grey8 = sharpened;
  }

  // The page's binarisation, then the cell over all ink columns.
  cv::Mat page;
  cv::adaptiveThreshold(grey8, page, 255, cv::ADAPTIVE_THRESH_GAUSSIAN_C, cv::THRESH_BINARY, 51, 25.0);
  cv::Mat block = 255 - page, inkBright = 255 - grey8;
  const std::vector<ColumnRun> runs = SplitRuns(ColumnProfile(block), INT_MAX);
  if (runs.empty()) return cv::Mat();
  cv::Rect cell;
  cv::Mat cut;
  if (!CutCell(block, inkBright, runs.front().first, runs.back().last, &cell, &cut)) return cv::Mat();
  if (place) {
    const float baseline = static_cast<float>((margin + glyph.top) * variant.enlarge / fine);
    const float em = static_cast<float>(variant.pixels * variant.enlarge);
    *place = cv::Vec3f((cell.y - baseline) / em, (cell.y + cell.height - baseline) / em, cell.width / em);
  }
  return cut;
}

GlyphSamples MeasureGlyphs(const std::vector<ModelCharacter>& characters, const std::vector<vqscene::CjkFont>& fonts,
                           const std::vector<PrintVariant>& variants, int threads, uint64_t seed) {
  // Rows by character, font, printed form and variant.
  std::vector<size_t> firstRow(characters.size() + 1, 0);
  for (size_t c = 0; c < characters.size(); ++c)
    firstRow[c + 1] = firstRow[c] + fonts.size() * characters[c].codes.size() * variants.size();
  const int rows = static_cast<int>(firstRow.back());
  cv::Mat features = cv::Mat::zeros(rows, 512, CV_32F), places = cv::Mat::zeros(rows, 3, CV_32F);
  std::vector<char> measured(static_cast<size_t>(rows), 0);

  auto work = [&](int part) {
    FeatureChain chain;
    chain.normalizer = CreateImageNormalizer("LN");
    chain.extractor = CreateFeatureExtractor("GRA");
    chain.SetDistance("L2");
    for (size_t f = 0; f < fonts.size(); ++f) {
      vqscene::CjkTextRenderer renderer(fonts[f]);
      if (!renderer.Ok()) continue;
      for (size_t c = static_cast<size_t>(part); c < characters.size(); c += static_cast<size_t>(threads)) {
        cv::RNG rng(seed + c * 7919 + f);
        const std::vector<char32_t>& codes = characters[c].codes;
        for (size_t k = 0; k < codes.size(); ++k)
          for (size_t v = 0; v < variants.size(); ++v) {
            cv::Vec3f place;
            const cv::Mat glyph = PrintedGlyph(renderer, codes[k], variants[v], rng, &place);
            if (glyph.empty()) continue;
            OCRMatrixPtr values(chain.Compute(glyph.data, glyph.cols, glyph.rows, false));
            if (!values || OCRElementCount(values.get()) != 512) continue;
            const size_t row = firstRow[c] + (f * codes.size() + k) * variants.size() + v;
            float* out = features.ptr<float>(static_cast<int>(row));
            for (int i = 0; i < 512; ++i) out[i] = static_cast<float>(MatrixData<double>(values.get())[i]);
            places.at<cv::Vec3f>(static_cast<int>(row)) = place;
            measured[row] = 1;
          }
      }
    }
  };
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(work, t);
  for (auto& t : pool) t.join();

  GlyphSamples samples;
  std::vector<int> kept;
  for (size_t c = 0; c < characters.size(); ++c)
    for (size_t row = firstRow[c]; row < firstRow[c + 1]; ++row) {
      if (!measured[row]) continue;
      kept.push_back(static_cast<int>(row));
      samples.classes.push_back(static_cast<int>(c));
      samples.fonts.push_back(static_cast<int>((row - firstRow[c]) / (characters[c].codes.size() * variants.size())));
      samples.variants.push_back(static_cast<int>((row - firstRow[c]) % variants.size()));
    }
  samples.features.create(static_cast<int>(kept.size()), 512, CV_32F);
  samples.places.create(static_cast<int>(kept.size()), 3, CV_32F);
  for (size_t i = 0; i < kept.size(); ++i) {
    features.row(kept[i]).copyTo(samples.features.row(static_cast<int>(i)));
    places.row(kept[i]).copyTo(samples.places.row(static_cast<int>(i)));
  }
  return samples;
}

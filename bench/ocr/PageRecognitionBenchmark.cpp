// Whole pages: A4 at 200 dpi, 12-point random GB2312 level-1 text in a Song
// and a Hei face, clean and as a blurred, noisy scan. Reports the character
// accuracy (1 - edit distance / characters) and the time per page on one
// core, of the page recogniser with the product model and, where its
// Simplified Chinese data is installed, of Tesseract on the same pages.
// Tesseract's OpenMP threads are set at start: run with OMP_THREAD_LIMIT=1
// to hold it to one core too.
#include <benchmark/benchmark.h>

#include <tesseract/baseapi.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/ocr/RenderedPages.h"
#include "scene/PrintedPage.h"
#include "ocr/DocOCR.h"
#include "ocr/GradientFeatureExtractor.h"
#include "ocr/ImageNormalizer.h"
#include "ocr/OCREngine.h"
#include "platform/win/Encoding.h"
#include "scene/CjkText.h"

namespace {

const char kTessdata[] = "/usr/share/tesseract-ocr/5/tessdata";

using ocrbench::Page;

Page MakePage(const vqscene::CjkFont& font, bool scanned) { return ocrbench::MakeChinesePage(font, scanned); }

// 1 - edit distance / truth length, over the characters alone.
double CharacterAccuracy(const std::u32string& truth, const std::u32string& read) {
  return std::max(0.0, 1.0 - static_cast<double>(vqscene::EditDistance(truth, read)) / truth.size());
}

using ocrbench::WithoutSpaces;

// The product model, or another one to compare (VQ_BENCH_RECOGNITION_MODEL).
std::string ModelPath() {
  const char* other = std::getenv("VQ_BENCH_RECOGNITION_MODEL");
  return other && *other ? other : VQ_RECOGNITION_MODEL;
}

vqscene::CjkFont FontOf(int64_t index) { return index == 0 ? vqscene::SongFont() : vqscene::HeiFont(); }

void BM_PageRecognition(benchmark::State& state) {
  cv::setNumThreads(1);
  const std::string model = ModelPath();
  const vqscene::CjkFont font = FontOf(state.range(0));
  if (model.empty() || !std::filesystem::exists(model) || !vqscene::FontInstalled(font)) {
    state.SkipWithError("no recognition model or font: build the recognition_model target, run scripts/setup");
    return;
  }
  const Page page = MakePage(font, state.range(1) != 0);
  CDocOCR ocr;
  if (!ocr.Initialize(model.c_str())) {
    state.SkipWithError("the model does not load");
    return;
  }
  std::string text;
  for (auto _ : state) ocr.Recognize(page.image, &text, nullptr, false);
  state.counters["char_accuracy"] = CharacterAccuracy(page.text, WithoutSpaces(vq::GbkToWide(text)));
  state.counters["characters"] = static_cast<double>(page.text.size());
  state.SetLabel(font.name + (state.range(1) ? ", scanned" : ", clean"));
}

void BM_TesseractChiSim(benchmark::State& state) {
  const vqscene::CjkFont font = FontOf(state.range(0));
  if (!std::filesystem::exists(std::string(kTessdata) + "/chi_sim.traineddata")) {
    state.SkipWithError("tesseract-ocr-chi-sim is not installed: comparison skipped");
    return;
  }
  const Page page = MakePage(font, state.range(1) != 0);
  tesseract::TessBaseAPI api;
  if (api.Init(kTessdata, "chi_sim") != 0) {
    state.SkipWithError("Tesseract did not start with chi_sim: comparison skipped");
    return;
  }
  api.SetPageSegMode(tesseract::PSM_AUTO);
  std::string text;
  for (auto _ : state) {
    api.SetImage(page.image.data, page.image.cols, page.image.rows, 1, static_cast<int>(page.image.step));
    char* utf8 = api.GetUTF8Text();
    text = utf8 ? utf8 : "";
    delete[] utf8;
  }
  api.End();
  state.counters["char_accuracy"] = CharacterAccuracy(page.text, WithoutSpaces(vq::Utf8ToWide(text)));
  const char* threads = std::getenv("OMP_THREAD_LIMIT");
  state.SetLabel(font.name + (state.range(1) ? ", scanned" : ", clean") +
                 (threads && std::string(threads) == "1" ? "" : ", all cores"));
}

// One glyph of the page size read by the product model's engine.
void BM_ProductModelGlyph(benchmark::State& state) {
  const std::string model = ModelPath();
  COCREngine engine;
  vqscene::CjkTextRenderer renderer(vqscene::SongFont());
  vqscene::CjkTextRenderer::Glyph glyph;
  if (model.empty() || !engine.Load(model.c_str()) || !renderer.RenderGlyph(U'\u6C38', ocrbench::kEm, &glyph)) {
    state.SkipWithError("no recognition model or font");
    return;
  }
  char label[3];
  double distance = 0.0;
  for (auto _ : state)
    benchmark::DoNotOptimize(engine.Recognize(glyph.coverage.data, glyph.coverage.cols, glyph.coverage.rows, label, 1,
                                              &distance));
}

// The two steps before the comparison: the glyph normalised to 64 x 64, and
// its gradient features.
void BM_GlyphFeatureSteps(benchmark::State& state) {
  vqscene::CjkTextRenderer renderer(vqscene::SongFont());
  vqscene::CjkTextRenderer::Glyph glyph;
  if (!renderer.RenderGlyph(U'\u6C38', ocrbench::kEm, &glyph)) {
    state.SkipWithError("no font");
    return;
  }
  OCRMatrixPtr image(CreateMatrix(OCR_U8, glyph.coverage.rows, glyph.coverage.cols));
  for (int y = 0; y < glyph.coverage.rows; ++y)
    for (int x = 0; x < glyph.coverage.cols; ++x)
      MatrixData<uint8_t>(image.get())[y * glyph.coverage.cols + x] = glyph.coverage.at<uint8_t>(y, x);
  CLinearNormalizerImp normalizer;
  OCRMatrixPtr normalized(normalizer.Normalize(image.get()));
  CGradientFeatureExtractorImp extractor;
  for (auto _ : state) {
    OCRMatrixPtr out(state.range(0) == 0 ? normalizer.Normalize(image.get()) : extractor.Extract(normalized.get(), 0));
    benchmark::DoNotOptimize(out.get());
  }
  state.SetLabel(state.range(0) == 0 ? "normalise" : "gradient features");
}

}  // namespace

BENCHMARK(BM_ProductModelGlyph)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlyphFeatureSteps)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
// Arguments: font (0 Song, 1 Hei), scanned (0 clean, 1 blur and noise).
BENCHMARK(BM_PageRecognition)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TesseractChiSim)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(1);

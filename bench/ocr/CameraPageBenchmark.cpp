// Recognition and orientation on pages as a document camera sees them, side
// by side with Tesseract on the very same pixels:
// - camera pages: Chinese sheets in faces the model was not made from, 22 to
//   40 px, photographed on a desk (5 MP, blur 0.8-1.2 px, noise, vignetting,
//   a shadow over one corner), cropped with AutoCropDocument and lit to 240
//   as the recognition command does;
// - scans turned 0 to 5 degrees, and clean pages;
// - digits and Latin among Chinese, sheets tilted 25 degrees, 80 px
//   headlines and dark frames, photographed and cropped alike; small print
//   (12 and 10 px) on a whole sheet in the same 5 MP frame, the print set
//   three times finer than the frame and taken in over each pixel, a lens
//   focused on it (blur 0.5-0.7 px), and 12 px print scanned;
// - English and Chinese pages in the four quarter turns, flat and through the
//   orientation thread's own path (crop, then detect).
// Recognition reports the pooled character accuracy (1 - edit distance /
// characters, whitespace ignored), the worst page and the processor time per
// page; orientation the pages turned right, wrong and left undecided. Run
// with OMP_THREAD_LIMIT=1 to hold Tesseract to one core as well.
#include <benchmark/benchmark.h>

#include <tesseract/baseapi.h>

#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/ocr/CameraPages.h"
#include "bench/ocr/RenderedPages.h"
#include "bench/ocr/TesseractTurn.h"
#include "scene/PrintedPage.h"
#include "ocr/DocOCR.h"
#include "ocr/TextOrientationDetector.h"
#include "platform/win/Encoding.h"

namespace {

using ocrbench::ReadSet;
using ocrbench::TurnSet;

const char kTessdata[] = "/usr/share/tesseract-ocr/5/tessdata";

double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

std::string ModelPath() {
  const char* other = std::getenv("VQ_BENCH_RECOGNITION_MODEL");
  return other && *other ? other : VQ_RECOGNITION_MODEL;
}

std::string Cores() {
  const char* threads = std::getenv("OMP_THREAD_LIMIT");
  return threads && std::string(threads) == "1" ? "" : ", all cores";
}

cv::Mat Grey(const cv::Mat& image) {
  if (image.channels() == 1) return image;
  cv::Mat grey;
  cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
  return grey;
}

// Reads every page of the set once; `read` returns the page's characters.
void MeasureReading(benchmark::State& state, const std::function<std::u32string(const cv::Mat&)>& read) {
  const auto set = static_cast<ReadSet>(state.range(0));
  const std::vector<ocrbench::ReadPage>& pages = ocrbench::Pages(set);
  if (pages.empty()) {
    state.SkipWithError("no CJK font: run scripts/setup");
    return;
  }
  // VQ_BENCH_DUMP=<folder> keeps the pages as the readers get them, and
  // what they hold, to look at.
  if (const char* dump = std::getenv("VQ_BENCH_DUMP"))
    for (const ocrbench::ReadPage& page : pages) {
      const std::string path = std::string(dump) + "/" + page.label;
      cv::imwrite(path + ".png", page.image);
      const std::wstring text(page.text.begin(), page.text.end());
      std::ofstream(path + ".txt", std::ios::binary) << vq::WideToUtf8(text);
    }
  long edits = 0, characters = 0;
  long kindEdits[3] = {}, kindCharacters[3] = {};
  double worst = 1.0, cpu = 0.0;
  for (auto _ : state) {
    for (const ocrbench::ReadPage& page : pages) {
      const double start = ProcessSeconds();
      const std::u32string text = read(page.image);
      cpu += ProcessSeconds() - start;
      const int pageEdits = vqscene::EditDistance(page.text, text);
      edits += pageEdits;
      characters += static_cast<long>(page.text.size());
      for (int kind = 0; kind < 3; ++kind) {
        const auto k = static_cast<vqscene::CharacterKind>(kind);
        const std::u32string kindTruth = vqscene::OfKind(page.text, k);
        kindEdits[kind] += vqscene::EditDistance(kindTruth, vqscene::OfKind(text, k));
        kindCharacters[kind] += static_cast<long>(kindTruth.size());
      }
      worst = std::min(worst, 1.0 - static_cast<double>(pageEdits) / static_cast<double>(page.text.size()));
      if (const char* verbose = std::getenv("VQ_BENCH_VERBOSE")) {
        std::fprintf(stderr, "  %-34s %6.2f %%\n", page.label.c_str(),
                     100.0 * (1.0 - static_cast<double>(pageEdits) / static_cast<double>(page.text.size())));
        // VQ_BENCH_VERBOSE=2 shows what the page holds and what was read.
        if (verbose[0] == '2')
          std::fprintf(stderr, "TRUTH %s\nREAD  %s\n", vq::WideToUtf8(std::wstring(page.text.begin(), page.text.end())).c_str(),
                       vq::WideToUtf8(std::wstring(text.begin(), text.end())).c_str());
      }
    }
  }
  const double runs = static_cast<double>(state.iterations() * pages.size());
  state.counters["accuracy_pct"] = 100.0 * (1.0 - static_cast<double>(edits) / static_cast<double>(characters));
  static const char* const kKindCounters[3] = {"chinese_pct", "latin_pct", "signs_pct"};
  for (int kind = 0; kind < 3; ++kind)
    if (kindCharacters[kind] > 0)
      state.counters[kKindCounters[kind]] =
          100.0 * (1.0 - static_cast<double>(kindEdits[kind]) / static_cast<double>(kindCharacters[kind]));
  state.counters["worst_pct"] = 100.0 * std::max(0.0, worst);
  state.counters["pages"] = static_cast<double>(pages.size());
  state.counters["chars"] = static_cast<double>(characters) / static_cast<double>(state.iterations());
  state.counters["cpu_s_per_page"] = cpu / runs;
}

void BM_Recognize(benchmark::State& state) {
  cv::setNumThreads(1);
  CDocOCR ocr;
  const std::string model = ModelPath();
  if (model.empty() || !std::filesystem::exists(model) || !ocr.Initialize(model.c_str())) {
    state.SkipWithError("no recognition model: build the recognition_model target");
    return;
  }
  MeasureReading(state, [&](const cv::Mat& image) {
    std::string text;
    ocr.Recognize(image, &text, nullptr, false);
    return ocrbench::WithoutSpaces(vq::GbkToWide(text));
  });
  state.SetLabel(ocrbench::SetName(static_cast<ReadSet>(state.range(0))));
}

void BM_TesseractChiSim(benchmark::State& state) {
  tesseract::TessBaseAPI api;
  if (!std::filesystem::exists(std::string(kTessdata) + "/chi_sim.traineddata") ||
      api.Init(kTessdata, "chi_sim") != 0) {
    state.SkipWithError("tesseract-ocr-chi-sim is not installed: comparison skipped");
    return;
  }
  api.SetPageSegMode(tesseract::PSM_AUTO);
  MeasureReading(state, [&](const cv::Mat& image) {
    const cv::Mat grey = Grey(image);
    api.SetImage(grey.data, grey.cols, grey.rows, 1, static_cast<int>(grey.step));
    // An A4 sheet: its height is 11.7 inches.
    api.SetSourceResolution(static_cast<int>(grey.rows / 11.7));
    char* utf8 = api.GetUTF8Text();
    const std::string text = utf8 ? utf8 : "";
    delete[] utf8;
    return ocrbench::WithoutSpaces(vq::Utf8ToWide(text));
  });
  api.End();
  state.SetLabel(std::string(ocrbench::SetName(static_cast<ReadSet>(state.range(0)))) + Cores());
}

// Runs `detect` over the set's pages; counts right, wrong and undecided.
void MeasureTurns(benchmark::State& state, const std::function<bool(const cv::Mat&, int*)>& detect) {
  const auto set = static_cast<TurnSet>(state.range(0));
  const std::vector<ocrbench::TurnedPage>& pages = ocrbench::Pages(set);
  if (pages.empty()) {
    state.SkipWithError("no font for these pages: run scripts/setup");
    return;
  }
  int right = 0, wrong = 0, undecided = 0;
  double cpu = 0.0;
  for (auto _ : state) {
    for (const ocrbench::TurnedPage& page : pages) {
      int angle = -1;
      const double start = ProcessSeconds();
      const bool decided = detect(page.image, &angle);
      cpu += ProcessSeconds() - start;
      right += decided && angle == page.angle;
      wrong += decided && angle != page.angle;
      undecided += !decided;
      if (std::getenv("VQ_BENCH_VERBOSE") && !(decided && angle == page.angle))
        std::fprintf(stderr, "  page %zu turned %d: %s %d\n", static_cast<size_t>(&page - pages.data()), page.angle,
                     decided ? "read as" : "undecided", decided ? angle : 0);
    }
  }
  const double runs = static_cast<double>(state.iterations() * pages.size());
  state.counters["right"] = right / static_cast<double>(state.iterations());
  state.counters["wrong"] = wrong / static_cast<double>(state.iterations());
  state.counters["undecided"] = undecided / static_cast<double>(state.iterations());
  state.counters["cpu_ms_per_page"] = 1000.0 * cpu / runs;
}

void BM_Orientation(benchmark::State& state) {
  cv::setNumThreads(1);
  CTextOrientationDetector detector;
  const std::string model = ModelPath();
  if (model.empty() || !std::filesystem::exists(model) || !detector.Initialize(model.c_str())) {
    state.SkipWithError("no recognition model: build the recognition_model target");
    return;
  }
  MeasureTurns(state, [&](const cv::Mat& page, int* angle) { return detector.Detect(page, angle, false); });
  state.SetLabel(ocrbench::SetName(static_cast<TurnSet>(state.range(0))));
}

void BM_TesseractOrientation(benchmark::State& state) {
  tesseract::TessBaseAPI api;
  if (!std::filesystem::exists(std::string(kTessdata) + "/osd.traineddata") || api.Init(kTessdata, "osd") != 0) {
    state.SkipWithError("tesseract-ocr-osd is not installed: comparison skipped");
    return;
  }
  api.SetPageSegMode(tesseract::PSM_OSD_ONLY);
  // Its orientation pass warns of an unknown resolution on every page.
  api.SetVariable("debug_file", "/dev/null");
  MeasureTurns(state, [&](const cv::Mat& page, int* angle) {
    const cv::Mat grey = Grey(page);
    return ocrbench::TesseractTurn(api, grey, static_cast<int>(std::max(grey.rows, grey.cols) / 11.7), angle);
  });
  api.End();
  state.SetLabel(std::string(ocrbench::SetName(static_cast<TurnSet>(state.range(0)))) + Cores());
}

}  // namespace

// Arguments: 0 camera pages, 1 scans turned 0-5 degrees, 2 clean pages,
// 3 digits and Latin among Chinese, 4 sheets tilted 25 degrees, 5 headlines,
// 6 and 7 small print (12 and 10 px), 8 dark frames, 9 small print scanned.
BENCHMARK(BM_Recognize)->DenseRange(0, ocrbench::kReadSets - 1)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_TesseractChiSim)->DenseRange(0, ocrbench::kReadSets - 1)->Unit(benchmark::kSecond)->Iterations(1);
// Arguments: 0 English pages, 1 English on the desk, 2 Chinese pages, 3 Chinese on the desk.
BENCHMARK(BM_Orientation)->DenseRange(0, 3)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_TesseractOrientation)->DenseRange(0, 3)->Unit(benchmark::kSecond)->Iterations(1);

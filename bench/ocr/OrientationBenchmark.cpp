// Page orientation on A4 pages at 200 dpi, 10 in each turn (0, 90, 180, 270
// by the detector's convention): the share of pages given their true angle
// and the time per page on one core, of the orientation detector with the
// product model and, where its orientation data is installed, of Tesseract's
// orientation detection on the same pages. Run with OMP_THREAD_LIMIT=1 to
// hold Tesseract to one core.
#include <benchmark/benchmark.h>

#include <tesseract/baseapi.h>

#include <chrono>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <opencv2/core/utility.hpp>

#include "bench/ocr/RenderedPages.h"
#include "bench/ocr/TesseractTurn.h"
#include "ocr/TextOrientationDetector.h"

namespace {

const char kTessdata[] = "/usr/share/tesseract-ocr/5/tessdata";
constexpr int kPagesPerTurn = 10;

struct TurnedPage {
  cv::Mat image;
  int angle;  // the counter-clockwise turn that brings it upright
};

// Arguments: 0 Chinese clean, 1 Chinese scanned, 2 English.
const std::vector<TurnedPage>& Pages(int64_t kind) {
  static std::vector<TurnedPage> cache[3];
  std::vector<TurnedPage>& pages = cache[kind];
  if (!pages.empty()) return pages;
  for (int i = 0; i < 4 * kPagesPerTurn; ++i) {
    const uint64_t seed = 100 + static_cast<uint64_t>(i);
    const cv::Mat upright =
        kind == 2 ? ocrbench::MakeEnglishPage(seed)
                  : ocrbench::MakeChinesePage(i % 2 ? vqscene::HeiFont() : vqscene::SongFont(), kind == 1, seed).image;
    const int angle = 90 * (i % 4);
    // A page lying turned clockwise is brought upright counter-clockwise.
    const cv::Mat turned = angle == 90    ? RotateImage90Clockwise(upright)
                           : angle == 180 ? RotateImage180(upright)
                           : angle == 270 ? RotateImage90CounterClockwise(upright)
                                          : upright;
    pages.push_back({turned, angle});
  }
  return pages;
}

const char* KindLabel(int64_t kind) {
  return kind == 0 ? "Chinese, clean" : kind == 1 ? "Chinese, scanned" : "English";
}

double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Runs `detect` over the pages once per iteration; counts right, undecided
// and the mean time per page, on the clock and in processor time (the
// machine may be shared).
void Measure(benchmark::State& state, const std::function<bool(const cv::Mat&, int*)>& detect) {
  const std::vector<TurnedPage>& pages = Pages(state.range(0));
  int right = 0, undecided = 0, runs = 0;
  double seconds = 0.0, cpuSeconds = 0.0;
  for (auto _ : state) {
    for (const TurnedPage& page : pages) {
      int angle = -1;
      const auto start = std::chrono::steady_clock::now();
      const double cpuStart = ProcessSeconds();
      const bool decided = detect(page.image, &angle);
      cpuSeconds += ProcessSeconds() - cpuStart;
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      right += decided && angle == page.angle;
      undecided += !decided;
      ++runs;
    }
  }
  state.counters["accuracy"] = static_cast<double>(right) / runs;
  state.counters["undecided"] = static_cast<double>(undecided) / runs;
  state.counters["ms_per_page"] = 1000.0 * seconds / runs;
  state.counters["cpu_ms_per_page"] = 1000.0 * cpuSeconds / runs;
}

void BM_OrientationDetector(benchmark::State& state) {
  cv::setNumThreads(1);
  CTextOrientationDetector detector;
  if (std::string(VQ_RECOGNITION_MODEL).empty() || !std::filesystem::exists(VQ_RECOGNITION_MODEL) ||
      !vqscene::FontInstalled(vqscene::SongFont()) || !detector.Initialize(VQ_RECOGNITION_MODEL)) {
    state.SkipWithError("no recognition model or font: build the recognition_model target, run scripts/setup");
    return;
  }
  Measure(state, [&](const cv::Mat& page, int* angle) { return detector.Detect(page, angle, false); });
  state.SetLabel(KindLabel(state.range(0)));
}

void BM_TesseractOrientation(benchmark::State& state) {
  if (!std::filesystem::exists(std::string(kTessdata) + "/osd.traineddata")) {
    state.SkipWithError("tesseract-ocr-osd is not installed: comparison skipped");
    return;
  }
  tesseract::TessBaseAPI api;
  if (api.Init(kTessdata, "osd") != 0) {
    state.SkipWithError("Tesseract did not start with osd: comparison skipped");
    return;
  }
  api.SetPageSegMode(tesseract::PSM_OSD_ONLY);
  Measure(state, [&](const cv::Mat& page, int* angle) {
    return ocrbench::TesseractTurn(api, page, 200, angle);
  });
  api.End();
  const char* threads = std::getenv("OMP_THREAD_LIMIT");
  state.SetLabel(std::string(KindLabel(state.range(0))) +
                 (threads && std::string(threads) == "1" ? "" : ", all cores"));
}

}  // namespace

BENCHMARK(BM_OrientationDetector)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TesseractOrientation)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);

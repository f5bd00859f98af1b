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
// page; orientation the pages turned right, wrong and left undecided.
// Beside these tuned sets, the held-out families of bench/ocr/HeldOutPages.h
// (BM_HeldOut*): pages the recognition was not tuned on, English ones read
// the way the recognition dialog reads English. At the end two tables show
// the tuned and the held-out sets, the program beside Tesseract. Run with
// OMP_THREAD_LIMIT=1 to hold Tesseract to one core as well.
#include <benchmark/benchmark.h>

#include <tesseract/baseapi.h>

#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/ocr/CameraPages.h"
#include "bench/ocr/HeldOutPages.h"
#include "bench/ocr/RenderedPages.h"
#include "bench/ocr/TesseractTurn.h"
#include "scene/PrintedPage.h"
#include "ocr/DocOCR.h"
#include "ocr/PageLayout.h"
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

// What each run measured, printed as two tables at the end: the tuned sets
// and the held-out sets, the program beside Tesseract on the same pixels.
struct Row {
  double accuracy = -1, worst = -1, latin = -1, seconds = -1;
  int pages = 0;
  int right = -1, wrong = -1, undecided = -1;
};
struct Line {
  Row ours, tesseract;
};

class Summary {
 public:
  static Summary& Get() {
    static Summary summary;
    return summary;
  }
  Row* Ours(bool heldOut, const std::string& set) { return &Find(heldOut, set).ours; }
  Row* Tesseract(bool heldOut, const std::string& set) { return &Find(heldOut, set).tesseract; }
  ~Summary() {
    for (bool heldOut : {false, true}) {
      const auto& lines = lines_[heldOut];
      if (lines.empty()) continue;
      std::printf("\n%s sets%s\n", heldOut ? "Held-out" : "Tuned", Cores().c_str());
      std::printf("%-34s %5s | %8s %7s %8s %7s | %8s %7s %8s %7s\n", "set", "pages", "ours %", "worst", "latin %",
                  "s/page", "tess %", "worst", "latin %", "s/page");
      for (const auto& [name, line] : lines) {
        const Row& o = line.ours;
        const Row& t = line.tesseract;
        if (o.right >= 0 || t.right >= 0) {
          std::printf("%-34s %5d | right %d wrong %d undecided %d | right %d wrong %d undecided %d\n", name.c_str(),
                      std::max(o.pages, t.pages), o.right, o.wrong, o.undecided, t.right, t.wrong, t.undecided);
          continue;
        }
        std::printf("%-34s %5d | %8s %7s %8s %7s | %8s %7s %8s %7s\n", name.c_str(), std::max(o.pages, t.pages),
                    Number(o.accuracy, 2).c_str(), Number(o.worst, 1).c_str(), Number(o.latin, 2).c_str(),
                    Number(o.seconds, 3).c_str(), Number(t.accuracy, 2).c_str(), Number(t.worst, 1).c_str(),
                    Number(t.latin, 2).c_str(), Number(t.seconds, 3).c_str());
      }
    }
  }

 private:
  static std::string Number(double value, int digits) {
    if (value < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
  }
  Line& Find(bool heldOut, const std::string& set) {
    auto& lines = lines_[heldOut];
    for (auto& [name, line] : lines)
      if (name == set) return line;
    lines.emplace_back(set, Line{});
    return lines.back().second;
  }
  std::vector<std::pair<std::string, Line>> lines_[2];
};

// Reads every page of the set once; `read` returns the page's characters.
void MeasureReading(benchmark::State& state, const std::vector<ocrbench::ReadPage>& pages, Row* row,
                    const std::function<std::u32string(const cv::Mat&)>& read) {
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
      if (!page.frame.empty()) cv::imwrite(path + " frame.jpg", page.frame);
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
  row->accuracy = state.counters["accuracy_pct"];
  row->worst = state.counters["worst_pct"];
  row->latin = kindCharacters[1] > 0 ? static_cast<double>(state.counters["latin_pct"]) : -1.0;
  row->seconds = cpu / runs;
  row->pages = static_cast<int>(pages.size());
}

// The pages of a benchmark's set: tuned sets for `heldOut` false, held-out
// sets otherwise, numbered by their enums.
const std::vector<ocrbench::ReadPage>& ReadPages(bool heldOut, int64_t set) {
  return heldOut ? ocrbench::Pages(static_cast<ocrbench::HeldOutSet>(set)) : ocrbench::Pages(static_cast<ReadSet>(set));
}
std::string ReadSetName(bool heldOut, int64_t set) {
  return heldOut ? ocrbench::SetName(static_cast<ocrbench::HeldOutSet>(set)) : ocrbench::SetName(static_cast<ReadSet>(set));
}

// Tesseract reading a grey page of an A4 sheet (its height 11.7 inches).
std::u32string TesseractRead(tesseract::TessBaseAPI& api, const cv::Mat& image) {
  const cv::Mat grey = Grey(image);
  api.SetImage(grey.data, grey.cols, grey.rows, 1, static_cast<int>(grey.step));
  api.SetSourceResolution(static_cast<int>(grey.rows / 11.7));
  char* utf8 = api.GetUTF8Text();
  const std::string text = utf8 ? utf8 : "";
  delete[] utf8;
  return ocrbench::WithoutSpaces(vq::Utf8ToWide(text));
}

// The program's own engine reading the pages.
void ReadWithEngine(benchmark::State& state, const std::vector<ocrbench::ReadPage>& pages, Row* row) {
  CDocOCR ocr;
  const std::string model = ModelPath();
  if (model.empty() || !std::filesystem::exists(model) || !ocr.Initialize(model.c_str())) {
    state.SkipWithError("no recognition model: build the recognition_model target");
    return;
  }
  MeasureReading(state, pages, row, [&](const cv::Mat& image) {
    std::string text;
    ocr.Recognize(image, &text, nullptr, false);
    return ocrbench::WithoutSpaces(vq::GbkToWide(text));
  });
}

// The program's own engine on Chinese pages; English pages go the way the
// recognition dialog sends them (ui/OCRProgressDlg.cpp, EnglishOcrThreadProc):
// Tesseract's English data with the page segmentation the dialog sets.
void Recognize(benchmark::State& state, bool heldOut) {
  cv::setNumThreads(1);
  const int64_t set = state.range(0);
  const std::string name = ReadSetName(heldOut, set);
  Row* row = Summary::Get().Ours(heldOut, name);
  if (heldOut && ocrbench::IsEnglish(static_cast<ocrbench::HeldOutSet>(set))) {
    tesseract::TessBaseAPI api;
    if (api.Init(kTessdata, "eng") != 0) {
      state.SkipWithError("tesseract-ocr-eng is not installed");
      return;
    }
    MeasureReading(state, ReadPages(heldOut, set), row, [&](const cv::Mat& image) {
      // As the recognition dialog reads it: rules taken out, the layout Tesseract's own where there are columns.
      bool inColumns = false;
      const cv::Mat grey = PageWithoutRules(Grey(image), &inColumns);
      api.SetPageSegMode(inColumns ? tesseract::PSM_AUTO : tesseract::PSM_SINGLE_BLOCK);
      api.SetImage(grey.data, grey.cols, grey.rows, 1, static_cast<int>(grey.step));
      char* utf8 = api.GetUTF8Text();
      const std::string text = utf8 ? utf8 : "";
      delete[] utf8;
      return ocrbench::WithoutSpaces(vq::Utf8ToWide(text));
    });
    api.End();
    state.SetLabel(name + ", the dialog's English path");
    return;
  }
  ReadWithEngine(state, ReadPages(heldOut, set), row);
  state.SetLabel(name);
}

// Tesseract with its own page layout and the language's data.
void ReadWithTesseract(benchmark::State& state, const char* language, const std::vector<ocrbench::ReadPage>& pages,
                       Row* row) {
  tesseract::TessBaseAPI api;
  if (!std::filesystem::exists(std::string(kTessdata) + "/" + language + ".traineddata") ||
      api.Init(kTessdata, language) != 0) {
    state.SkipWithError("Tesseract's language data is not installed: comparison skipped");
    return;
  }
  api.SetPageSegMode(tesseract::PSM_AUTO);
  MeasureReading(state, pages, row, [&](const cv::Mat& image) { return TesseractRead(api, image); });
  api.End();
}

// Tesseract on a set: Simplified Chinese data, or English for English pages.
void TesseractReading(benchmark::State& state, bool heldOut) {
  const int64_t set = state.range(0);
  const bool english = heldOut && ocrbench::IsEnglish(static_cast<ocrbench::HeldOutSet>(set));
  const std::string name = ReadSetName(heldOut, set);
  ReadWithTesseract(state, english ? "eng" : "chi_sim", ReadPages(heldOut, set), Summary::Get().Tesseract(heldOut, name));
  state.SetLabel(name + Cores());
}

void BM_Recognize(benchmark::State& state) { Recognize(state, false); }
void BM_TesseractChiSim(benchmark::State& state) { TesseractReading(state, false); }
void BM_HeldOutRecognize(benchmark::State& state) { Recognize(state, true); }
void BM_HeldOutTesseract(benchmark::State& state) { TesseractReading(state, true); }

// Held-out lines of Chinese with addresses, numbers and words among it:
// argument 0 the program, 1 Tesseract.
void BM_HeldOutMixedLines(benchmark::State& state) {
  cv::setNumThreads(1);
  const char name[] = "mixed lines: addresses, numbers";
  if (state.range(0) == 0)
    ReadWithEngine(state, ocrbench::MixedLinePages(), Summary::Get().Ours(true, name));
  else
    ReadWithTesseract(state, "chi_sim", ocrbench::MixedLinePages(), Summary::Get().Tesseract(true, name));
  state.SetLabel(std::string(name) + (state.range(0) == 0 ? "" : ", Tesseract" + Cores()));
}

const std::vector<ocrbench::TurnedPage>& TurnPages(bool heldOut, int64_t set) {
  return heldOut ? ocrbench::Pages(static_cast<ocrbench::HeldOutTurnSet>(set)) : ocrbench::Pages(static_cast<TurnSet>(set));
}
std::string TurnSetName(bool heldOut, int64_t set) {
  return std::string("orientation: ") + (heldOut ? ocrbench::SetName(static_cast<ocrbench::HeldOutTurnSet>(set))
                                                 : ocrbench::SetName(static_cast<TurnSet>(set)));
}

// Runs `detect` over the set's pages; counts right, wrong and undecided.
void MeasureTurns(benchmark::State& state, const std::vector<ocrbench::TurnedPage>& pages, Row* row,
                  const std::function<bool(const cv::Mat&, int*)>& detect) {
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
  const auto iterations = static_cast<int>(state.iterations());
  row->right = right / iterations;
  row->wrong = wrong / iterations;
  row->undecided = undecided / iterations;
  row->seconds = cpu / runs;
  row->pages = static_cast<int>(pages.size());
}

void Orientation(benchmark::State& state, bool heldOut) {
  cv::setNumThreads(1);
  CTextOrientationDetector detector;
  const std::string model = ModelPath();
  if (model.empty() || !std::filesystem::exists(model) || !detector.Initialize(model.c_str())) {
    state.SkipWithError("no recognition model: build the recognition_model target");
    return;
  }
  const std::string name = TurnSetName(heldOut, state.range(0));
  MeasureTurns(state, TurnPages(heldOut, state.range(0)), Summary::Get().Ours(heldOut, name),
               [&](const cv::Mat& page, int* angle) { return detector.Detect(page, angle, false); });
  state.SetLabel(name);
}

void TesseractOrientation(benchmark::State& state, bool heldOut) {
  tesseract::TessBaseAPI api;
  if (!std::filesystem::exists(std::string(kTessdata) + "/osd.traineddata") || api.Init(kTessdata, "osd") != 0) {
    state.SkipWithError("tesseract-ocr-osd is not installed: comparison skipped");
    return;
  }
  api.SetPageSegMode(tesseract::PSM_OSD_ONLY);
  // Its orientation pass warns of an unknown resolution on every page.
  api.SetVariable("debug_file", "/dev/null");
  const std::string name = TurnSetName(heldOut, state.range(0));
  MeasureTurns(state, TurnPages(heldOut, state.range(0)), Summary::Get().Tesseract(heldOut, name),
               [&](const cv::Mat& page, int* angle) {
                 const cv::Mat grey = Grey(page);
                 return ocrbench::TesseractTurn(api, grey, static_cast<int>(std::max(grey.rows, grey.cols) / 11.7),
                                                angle);
               });
  api.End();
  state.SetLabel(name + Cores());
}

void BM_Orientation(benchmark::State& state) { Orientation(state, false); }
void BM_TesseractOrientation(benchmark::State& state) { TesseractOrientation(state, false); }
void BM_HeldOutOrientation(benchmark::State& state) { Orientation(state, true); }
void BM_HeldOutTesseractOrientation(benchmark::State& state) { TesseractOrientation(state, true); }

}  // namespace

// Arguments: 0 camera pages, 1 scans turned 0-5 degrees, 2 clean pages,
// 3 digits and Latin among Chinese, 4 sheets tilted 25 degrees, 5 headlines,
// 6 and 7 small print (12 and 10 px), 8 dark frames, 9 small print scanned.
BENCHMARK(BM_Recognize)->DenseRange(0, ocrbench::kReadSets - 1)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_TesseractChiSim)->DenseRange(0, ocrbench::kReadSets - 1)->Unit(benchmark::kSecond)->Iterations(1);
// Arguments: 0 English pages, 1 English on the desk, 2 Chinese pages, 3 Chinese on the desk.
BENCHMARK(BM_Orientation)->DenseRange(0, 3)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_TesseractOrientation)->DenseRange(0, 3)->Unit(benchmark::kSecond)->Iterations(1);
// The held-out families (bench/ocr/HeldOutPages.h), numbered as HeldOutSet
// and HeldOutTurnSet: pages the recognition was not tuned on.
BENCHMARK(BM_HeldOutRecognize)->DenseRange(0, ocrbench::kHeldOutSets - 1)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_HeldOutTesseract)->DenseRange(0, ocrbench::kHeldOutSets - 1)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_HeldOutMixedLines)->DenseRange(0, 1)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_HeldOutOrientation)->DenseRange(0, ocrbench::kHeldOutTurnSets - 1)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_HeldOutTesseractOrientation)
    ->DenseRange(0, ocrbench::kHeldOutTurnSets - 1)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// Recognize per glyph against 3755-class models (the GB2312 level-1 labels),
// N = 10. The models are generated here: random non-negative unit templates
// for the multi-template classifier; random means, a 128-row projection and
// 8 eigenvectors per class for MQDF.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "ocr/FileOperator.h"
#include "ocr/OCREngine.h"

namespace {

constexpr int kFeatures = 512;
constexpr int kProjected = 128;
constexpr int kEigenvectors = 8;
constexpr int kCandidates = 10;

std::vector<std::string> Level1Labels() {
  std::vector<std::string> labels;
  for (int row = 0xB0; row <= 0xD7; ++row)
    for (int cell = 0xA1; cell <= 0xFE; ++cell) {
      if (row == 0xD7 && cell > 0xF9) break;  // the level ends at D7F9
      labels.push_back({static_cast<char>(row), static_cast<char>(cell)});
    }
  return labels;
}

OCRMatrixPtr Random(int rows, int cols, std::mt19937& random, double low, double high) {
  OCRMatrixPtr m(CreateMatrix(OCR_DOUBLE, rows, cols));
  std::uniform_real_distribution<double> value(low, high);
  for (int i = 0; i < rows * cols; ++i) MatrixData<double>(m.get())[i] = value(random);
  return m;
}

OCRMatrixPtr Scalar(double v) {
  OCRMatrixPtr m(CreateMatrix(OCR_DOUBLE, 1, 1));
  MatrixData<double>(m.get())[0] = v;
  return m;
}

std::string TempModelPath() {
  char name[] = "/tmp/ocr_bench_model_XXXXXX";
  const int fd = mkstemp(name);
  if (fd >= 0) close(fd);
  return name;
}

std::string WriteTemplateModel() {
  const std::string path = TempModelPath();
  CCmmFileOperatorImp file;
  file.Open(path, true);
  for (const char* text : {"NEW", "LN", "GRA", "Cos"}) file.WriteString(text);
  std::mt19937 random(1);
  for (const std::string& label : Level1Labels()) {
    OCRMatrixPtr t = Random(1, kFeatures, random, 0.0, 1.0);
    NormalizeMatrixL2(t.get());
    file.WriteString(label.c_str());
    file.WriteRecord(t.get());
  }
  file.Close();
  return path;
}

std::string WriteMQDFModel() {
  const std::string path = TempModelPath();
  CCmmFileOperatorImp file;
  file.Open(path, true);
  for (const char* text : {"NEW:RLDA_PLUS_MQDF", "-N", "LN", "-F", "GRA", "-S", "Cos", "-TRS"}) file.WriteString(text);
  std::mt19937 random(2);
  file.WriteRecord(Random(kProjected, kFeatures, random, -0.1, 0.1).get());
  for (const std::string& label : Level1Labels()) {
    OCRMatrixPtr mean = Random(kProjected, 1, random, -1.0, 1.0);
    NormalizeMatrixL2(mean.get());
    file.WriteString(("+" + label).c_str());
    file.WriteRecord(mean.get());
    file.WriteRecord(Random(kEigenvectors, kProjected, random, -0.1, 0.1).get());
    file.WriteRecord(Random(1, kEigenvectors, random, 0.0, 1.0).get());
    file.WriteRecord(Scalar(2.0).get());
    file.WriteRecord(Scalar(0.1).get());
  }
  file.Close();
  return path;
}

// A glyph of a few strokes, 48 x 48.
std::vector<uint8_t> Glyph() {
  std::vector<uint8_t> g(48 * 48, 0);
  for (int i = 6; i < 42; ++i)
    for (int t = 0; t < 3; ++t) {
      g[(12 + t) * 48 + i] = 220;
      g[(30 + t) * 48 + i] = 200;
      g[i * 48 + 22 + t] = 240;
      g[(i / 2 + 20) * 48 + i] = 180;
    }
  return g;
}

void RunRecognize(benchmark::State& state, const std::string& path) {
  COCREngine engine;
  if (!engine.Load(path.c_str())) {
    state.SkipWithError("model did not load");
    std::remove(path.c_str());
    return;
  }
  std::remove(path.c_str());
  const std::vector<uint8_t> glyph = Glyph();
  char labels[2 * kCandidates + 1];
  double distances[kCandidates];
  for (auto _ : state) {
    const bool ok = engine.Recognize(glyph.data(), 48, 48, labels, kCandidates, distances);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(distances);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_RecognizeMultiTemplate3755(benchmark::State& state) { RunRecognize(state, WriteTemplateModel()); }
void BM_RecognizeMQDF3755(benchmark::State& state) { RunRecognize(state, WriteMQDFModel()); }

}  // namespace

BENCHMARK(BM_RecognizeMultiTemplate3755)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecognizeMQDF3755)->Unit(benchmark::kMicrosecond);

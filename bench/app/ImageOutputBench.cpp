// One 2592 x 1944 colour capture processed and saved as JPEG, and as G4 TIFF.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <string>

#include "app/ImageOutput.h"
#include "scene/Renderer.h"
#include "scene/Scene.h"

namespace {

const cv::Mat& Capture() {
  static const cv::Mat frame =
      vqscene::RenderScene(vqscene::SingleSheet({2592, 1944}, {1296, 972}, {1700, 1300}, 2.0f));
  return frame;
}

void ProcessAndSave(benchmark::State& state, int colorMode) {
  CSysSettings settings;
  settings.colorMode = colorMode;
  settings.imgFormat = 0;
  settings.recognize = 0;
  settings.dateMark = settings.customMark = 0;
  settings.shadow = 0;
  char folder[] = "/tmp/vq-bench-XXXXXX";
  if (!::mkdtemp(folder)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const CString base = CString(folder) + L"/IMG00001";
  for (auto _ : state) {
    CImageOutput output(2);
    output.SetSettings(settings);
    cv::Mat page;
    output.ProcessImage(page, Capture());
    std::vector<CString> saved;
    output.SaveImages({page}, base, &saved);
    if (saved.size() != 1) state.SkipWithError("nothing saved");
    benchmark::DoNotOptimize(saved);
  }
  ::unlink((std::string(folder) + "/IMG00001.jpg").c_str());
  ::unlink((std::string(folder) + "/IMG00001.tif").c_str());
  ::rmdir(folder);
}

void BM_ProcessAndSaveJpeg(benchmark::State& state) { ProcessAndSave(state, 0); }
void BM_ProcessAndSaveG4Tiff(benchmark::State& state) { ProcessAndSave(state, 2); }

}  // namespace

BENCHMARK(BM_ProcessAndSaveJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProcessAndSaveG4Tiff)->Unit(benchmark::kMillisecond);

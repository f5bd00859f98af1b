// Reading saved pages back as the thumbnails, the merge and multipage
// dialogs and the image conversions do: a 5 MP camera page written by the
// program's own writers as JPEG (colour and grey) and PNG, and a
// black-and-white page as Group 4 TIFF, loaded by the image class; the
// colour JPEG also through LoadImageAsMat (merging) and ReadImageW
// (printing, PDF re-encoding).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <opencv2/imgproc.hpp>

#include "app/ImageConversions.h"
#include "imaging/G4TiffDocument.h"
#include "imaging/ImageFiles.h"
#include "platform/mfc/CImage.h"
#include "scene/Renderer.h"
#include "scene/Scene.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 2592, kHeight = 1944;  // 5 MP
constexpr int kQuality = 60;                  // the data source's default

// The pages, written once per process and removed at its end.
class PageFiles {
 public:
  PageFiles() : folder_(fs::temp_directory_path() / ("vq-bench-pictures-" + std::to_string(getpid()))) {
    fs::create_directories(folder_);
    vqscene::Scene scene = vqscene::SingleSheet({kWidth, kHeight}, {kWidth / 2.0f, kHeight / 2.0f},
                                                {kWidth * 0.7f, kHeight * 0.85f}, 3.0f);
    scene.noiseSigma = 2.0;
    const cv::Mat colour = vqscene::RenderScene(scene);
    cv::Mat grey;
    cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
    SaveJpeg(Path("colour.jpg").c_str(), colour, nullptr, 200, 200, kQuality);
    SaveJpeg(Path("grey.jpg").c_str(), grey, nullptr, 200, 200, kQuality);
    WriteImageW(Path("colour.png").c_str(), colour);
    CG4TiffDocument document;
    document.SetFileName(Path("bw.tif").c_str());
    document.AddPage(grey);
  }
  ~PageFiles() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::wstring Path(const std::string& name) const {
    const std::string path = (folder_ / name).string();
    return std::wstring(path.begin(), path.end());
  }

 private:
  fs::path folder_;
};

const PageFiles& Pages() {
  static const PageFiles pages;
  return pages;
}

void LoadPicture(benchmark::State& state, const char* name) {
  const std::wstring path = Pages().Path(name);
  for (auto _ : state) {
    CImage picture;
    if (FAILED(picture.Load(path.c_str()))) state.SkipWithError("the page did not load");
    benchmark::DoNotOptimize(picture.GetBits());
  }
}

void BM_LoadJpegColour5MP(benchmark::State& state) { LoadPicture(state, "colour.jpg"); }
BENCHMARK(BM_LoadJpegColour5MP)->Unit(benchmark::kMillisecond);

void BM_LoadJpegGrey5MP(benchmark::State& state) { LoadPicture(state, "grey.jpg"); }
BENCHMARK(BM_LoadJpegGrey5MP)->Unit(benchmark::kMillisecond);

void BM_LoadPngColour5MP(benchmark::State& state) { LoadPicture(state, "colour.png"); }
BENCHMARK(BM_LoadPngColour5MP)->Unit(benchmark::kMillisecond);

void BM_LoadG4Tiff5MP(benchmark::State& state) { LoadPicture(state, "bw.tif"); }
BENCHMARK(BM_LoadG4Tiff5MP)->Unit(benchmark::kMillisecond);

void BM_LoadImageAsMatJpeg5MP(benchmark::State& state) {
  const std::wstring path = Pages().Path("colour.jpg");
  for (auto _ : state) {
    const cv::Mat page = LoadImageAsMat(path.c_str());
    if (page.empty()) state.SkipWithError("the page did not load");
    benchmark::DoNotOptimize(page.data);
  }
}
BENCHMARK(BM_LoadImageAsMatJpeg5MP)->Unit(benchmark::kMillisecond);

void BM_ReadImageWJpeg5MP(benchmark::State& state) {
  const std::wstring path = Pages().Path("colour.jpg");
  for (auto _ : state) {
    const cv::Mat page = ReadImageW(path.c_str());
    if (page.empty()) state.SkipWithError("the page did not load");
    benchmark::DoNotOptimize(page.data);
  }
}
BENCHMARK(BM_ReadImageWJpeg5MP)->Unit(benchmark::kMillisecond);

}  // namespace

// Page finishing and file writing at camera sizes: JPEG of a 5 MP colour page,
// a Group 4 page of 8 MP, and black-and-white conversion of a 5 MP page.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <opencv2/imgproc.hpp>

#include "base/PathEncoding.h"
#include "imaging/G4TiffDocument.h"
#include "imaging/ImageEnhancement.h"
#include "imaging/ImageFiles.h"

namespace {

// A page with lines of text-like marks on paper lit unevenly.
cv::Mat TextPage(int width, int height, int type) {
  cv::Mat grey(height, width, CV_8UC1);
  for (int col = 0; col < width; ++col) grey.col(col).setTo(150 + 90 * col / width);
  cv::RNG rng(11);
  for (int line = 80; line < height - 80; line += 48) {
    for (int col = 80; col < width - 80; col += 22) {
      if (rng.uniform(0, 6) == 0) continue;
      cv::rectangle(grey, cv::Rect(col, line, 14, 24), cv::Scalar(30), rng.uniform(1, 4));
    }
  }
  if (type == CV_8UC1) return grey;
  cv::Mat colour;
  cv::cvtColor(grey, colour, cv::COLOR_GRAY2BGR);
  cv::rectangle(colour, cv::Rect(width / 2, height / 3, width / 5, height / 6), cv::Scalar(40, 60, 200), cv::FILLED);
  return colour;
}

std::wstring BenchPath(const std::string& name) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("vq-bench-" + std::to_string(getpid()) + "-" + name)).string();
  return vq::PathFromBytes(path);
}

void RemoveBenchFile(const std::wstring& path) { std::filesystem::remove(vq::ToFsPath(path)); }

void SaveJpegColourPage(benchmark::State& state) {
  const cv::Mat page = TextPage(2592, 1944, CV_8UC3);
  const std::wstring path = BenchPath("page.jpg");
  for (auto _ : state) {
    if (!SaveJpeg(path.c_str(), page, nullptr, 300, 300, 80)) state.SkipWithError("SaveJpeg failed");
  }
  RemoveBenchFile(path);
  state.SetItemsProcessed(state.iterations() * page.total());
}
BENCHMARK(SaveJpegColourPage)->Unit(benchmark::kMillisecond);

void G4TiffPage(benchmark::State& state) {
  const cv::Mat page = BinarizeDocument(21, TextPage(3264, 2448, CV_8UC1), 301, 0.4);
  const std::wstring path = BenchPath("page.tif");
  for (auto _ : state) {
    CG4TiffDocument document;
    document.SetResolution(300, 300);
    document.SetFileName(path.c_str());
    if (document.AddPage(page) != CG4TiffDocument::ADD_WRITTEN) state.SkipWithError("AddPage failed");
  }
  RemoveBenchFile(path);
  state.SetItemsProcessed(state.iterations() * page.total());
}
BENCHMARK(G4TiffPage)->Unit(benchmark::kMillisecond);

void BinarizeFiveMegapixelPage(benchmark::State& state) {
  const cv::Mat page = TextPage(2592, 1944, CV_8UC3);
  for (auto _ : state) {
    cv::Mat result = BinarizeDocument(21, page, 301, 0.4);
    benchmark::DoNotOptimize(result.data);
  }
  state.SetItemsProcessed(state.iterations() * page.total());
}
BENCHMARK(BinarizeFiveMegapixelPage)->Unit(benchmark::kMillisecond);

void RemoveSmallSpotsFiveMegapixelPage(benchmark::State& state) {
  const cv::Mat binary = BinarizeDocument(21, TextPage(2592, 1944, CV_8UC1), 301, 0.4);
  for (auto _ : state) {
    cv::Mat page = binary.clone();
    RemoveSmallSpots(page, 10);
    benchmark::DoNotOptimize(page.data);
  }
}
BENCHMARK(RemoveSmallSpotsFiveMegapixelPage)->Unit(benchmark::kMillisecond);

}  // namespace

// Document detection, automatic crop and change detection on camera-sized
// frames, as the preview, the capture and continuous shooting call them.
#include <benchmark/benchmark.h>

#include <vector>

#include <opencv2/imgproc.hpp>

#include "imaging/AutoCrop.h"
#include "imaging/ChangeDetection.h"
#include "imaging/DocumentDetection.h"
#include "scene/Renderer.h"

namespace {

const cv::Size kCamera(2592, 1944);

const cv::Mat& CameraFrame() {
  static const cv::Mat frame = [] {
    vqscene::Scene scene = vqscene::SingleSheet(kCamera, {1300, 950}, {1100, 1500}, 7);
    scene.noiseSigma = 3;
    scene.blurSigma = 1;
    return vqscene::RenderScene(scene);
  }();
  return frame;
}

const cv::Mat& ThreeSheetFrame() {
  static const cv::Mat frame = [] {
    vqscene::Scene scene = vqscene::EmptyDesk(kCamera);
    scene.noiseSigma = 3;
    scene.sheets = {vqscene::PlaceSheet({450, 560}, {560, 780}, 8, 1),
                    vqscene::PlaceSheet({1300, 1350}, {600, 820}, -15, 2),
                    vqscene::PlaceSheet({2150, 900}, {620, 860}, 25, 3)};
    return vqscene::RenderScene(scene);
  }();
  return frame;
}

// A frame as continuous shooting sees it: shrunk to 0.2 of the camera size.
cv::Mat ShootingFrame(std::uint64_t noiseSeed) {
  vqscene::Scene scene = vqscene::SingleSheet(kCamera, {1300, 950}, {1100, 1500}, 7);
  scene.noiseSigma = 3;
  scene.noiseSeed = noiseSeed;
  cv::Mat small;
  cv::resize(vqscene::RenderScene(scene), small, {}, 0.2, 0.2, cv::INTER_LINEAR);
  return small;
}

void BM_FindDocumentRect(benchmark::State& state) {
  const cv::Mat& frame = CameraFrame();
  cv::RotatedRect rect;
  for (auto _ : state) benchmark::DoNotOptimize(FindDocumentRect(&rect, 9, 3, 0.2f, 0.01f, frame, 8.0));
}
BENCHMARK(BM_FindDocumentRect)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FindDocumentRects_ThreeSheets(benchmark::State& state) {
  const cv::Mat& frame = ThreeSheetFrame();
  std::vector<cv::RotatedRect> rects;
  for (auto _ : state) benchmark::DoNotOptimize(FindDocumentRects(&rects, 9, 3, 0.2f, 0.01f, frame, 8.0));
}
BENCHMARK(BM_FindDocumentRects_ThreeSheets)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AutoCropDocument(benchmark::State& state) {
  const cv::Mat& frame = CameraFrame();
  cv::Mat page;
  for (auto _ : state) benchmark::DoNotOptimize(AutoCropDocument(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &page));
}
BENCHMARK(BM_AutoCropDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AutoCropDocumentAffine(benchmark::State& state) {
  const cv::Mat& frame = CameraFrame();
  cv::Mat page;
  for (auto _ : state) benchmark::DoNotOptimize(AutoCropDocumentAffine(frame, 0.2f, 10, 3, 9, 8.0, &page));
}
BENCHMARK(BM_AutoCropDocumentAffine)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IsSameScene(benchmark::State& state) {
  const cv::Mat a = ShootingFrame(1), b = ShootingFrame(2);
  for (auto _ : state) benchmark::DoNotOptimize(IsSameScene(a, b, 0.05f, 50));
}
BENCHMARK(BM_IsSameScene)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HasDocument(benchmark::State& state) {
  const cv::Mat frame = ShootingFrame(1);
  for (auto _ : state) benchmark::DoNotOptimize(HasDocument(frame, 0.04, 8.0, 9, 3));
}
BENCHMARK(BM_HasDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RenderScene(benchmark::State& state) {
  vqscene::Scene scene = vqscene::SingleSheet(kCamera, {1300, 950}, {1100, 1500}, 7);
  scene.noiseSigma = 3;
  scene.blurSigma = 1;
  scene.hand = vqscene::HandReachingTo(kCamera, {1000, 900});
  for (auto _ : state) benchmark::DoNotOptimize(vqscene::RenderScene(scene));
}
BENCHMARK(BM_RenderScene)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// The live preview: the worker's frame step with document detection at 5 MP
// and at 1280 x 960, and the sustained rate of a window-thread preview fed by
// the virtual camera (frames shown per second, frames dropped, CPU cores used).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "capture/ShowVideoThread.h"
#include "capture/USBCamera.h"
#include "platform/dshow/Com.h"
#include "platform/dshow/VirtualCamera.h"
#include "scene/Renderer.h"
#include "scene/Scene.h"

namespace {

// A desk with a sheet on it, as a camera of this size sees it.
class SceneGrabData : public IGrabData {
 public:
  explicit SceneGrabData(cv::Size size) {
    const cv::Mat picture = vqscene::RenderScene(vqscene::SingleSheet(
        size, cv::Point2f(size.width * 0.5f, size.height * 0.5f), cv::Size2f(size.width * 0.4f, size.height * 0.7f), 8));
    cv::flip(picture, bottomUp_, 0);
  }
  bool GetFrame(CDPrgb24* destination) override {
    return destination->SetFrame(bottomUp_.data, bottomUp_.cols, bottomUp_.rows);
  }
  cv::Mat GetMat() override { return cv::Mat(); }
  bool ReservedA(int, int, int, int) override { return false; }
  bool ReservedB(int, int, int, int) override { return false; }

 private:
  cv::Mat bottomUp_;
};

// A window-thread preview whose steps can be driven and counted.
class CountingPreview : public CShowVideoThread {
 public:
  bool Step() { return ProcessFrame(); }
  bool Intake() {
    LRESULT result = 0;
    return HandlePreviewMessage(WM_VIDEO_FRAME, 0, 0, &result);
  }
  std::atomic<long> steps{0};

 protected:
  bool ProcessFrame() override {
    const bool produced = CShowVideoThread::ProcessFrame();
    steps += produced;
    return produced;
  }
};

// Counts the frames the camera delivers to the preview.
class CountingGrabData : public IGrabData {
 public:
  explicit CountingGrabData(IGrabData* inner) : inner_(inner) {}
  bool GetFrame(CDPrgb24* destination) override {
    ++pulls;
    return inner_->GetFrame(destination);
  }
  cv::Mat GetMat() override { return inner_->GetMat(); }
  bool ReservedA(int a, int b, int c, int d) override { return inner_->ReservedA(a, b, c, d); }
  bool ReservedB(int a, int b, int c, int d) override { return inner_->ReservedB(a, b, c, d); }
  std::atomic<long> pulls{0};

 private:
  IGrabData* inner_;
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_PreviewFrameStepWithDetection(benchmark::State& state) {
  setenv("VQ_HEADLESS", "1", 1);
  const cv::Size size(int(state.range(0)), int(state.range(1)));
  SceneGrabData source(size);
  CountingPreview preview;
  preview.SetMainGrabData(&source);
  preview.Intake();
  preview.SetAutoDetect(true, false, 0.01f);
  for (auto _ : state) benchmark::DoNotOptimize(preview.Step());
  state.counters["documents"] = double(preview.DocumentRects().size());
  preview.SetMainGrabData(nullptr);
}
BENCHMARK(BM_PreviewFrameStepWithDetection)->Args({2592, 1944})->Args({1280, 960})->Unit(benchmark::kMillisecond);

// The virtual camera at its rate into a window-thread preview with detection
// on, wired as the capture controller wires it, for a few seconds.
void BM_PreviewSustainedRate(benchmark::State& state) {
  setenv("VQ_HEADLESS", "1", 1);
  const cv::Size size(int(state.range(0)), int(state.range(1)));
  const double fps = double(state.range(2));
  CoInitialize(nullptr);
  auto config = vq::dshow::VirtualCameraConfig::Document();
  config.sizes = {size};
  config.framesPerSecond = fps;
  vq::dshow::PlugInVirtualCamera(config);
  for (auto _ : state) {
    auto camera = std::make_unique<CUSBCamra>();
    camera->SetResolution(size.width, size.height);
    if (camera->Open(config.vendorId.c_str(), config.productId.c_str(), nullptr, nullptr, false, 0) != S_OK) {
      state.SkipWithError("the virtual camera did not open");
      break;
    }
    auto preview = std::make_unique<CountingPreview>();
    preview->Create(nullptr, 0, 0, 640, 480);
    CountingGrabData counting(camera->GetGrabData());
    preview->SetMainGrabData(&counting);
    camera->SetNotifyWindow(preview->GetHwnd(), WM_VIDEO_FRAME);
    preview->SetAutoDetect(true, false, 0.01f);
    camera->Run();
    std::this_thread::sleep_for(std::chrono::seconds(1));  // settle
    const long pulls0 = counting.pulls, steps0 = preview->steps;
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(int(state.range(3))));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    const long pulls = counting.pulls - pulls0, steps = preview->steps - steps0;
    camera->Stop();
    camera->SetNotifyWindow(nullptr, 0);
    preview->SetMainGrabData(nullptr);
    preview.reset();
    camera.reset();
    state.SetIterationTime(wall);
    state.counters["camera_fps"] = double(pulls) / wall;
    state.counters["shown_fps"] = double(steps) / wall;
    state.counters["dropped"] = double(pulls - steps);
    state.counters["cpu_cores"] = cpu / wall;
  }
  vq::dshow::RemoveVirtualCameras();
  CoUninitialize();
}
BENCHMARK(BM_PreviewSustainedRate)
    ->Args({2592, 1944, 15, 5})
    ->Args({1280, 960, 30, 5})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace

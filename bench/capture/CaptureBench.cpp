// Frame conversion from the camera formats at the largest camera size, and
// frames per second from a virtual camera through the graph into the holder.
#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "capture/USBCamera.h"
#include "platform/dshow/FrameConversion.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/dshow/VirtualFrameSource.h"
#include "platform/dshow/WindowBridge.h"

namespace {

const cv::Size kLargest(2592, 1944);

void BM_Yuy2ToBgr(benchmark::State& state) {
  const auto yuy2 = vq::dshow::BgrToYuy2(vq::dshow::RenderDeskWithSheet(kLargest));
  std::vector<BYTE> bgr(size_t(kLargest.area()) * 3);
  for (auto _ : state) {
    vq::dshow::Yuy2ToBottomUpBgr(yuy2.data(), kLargest.width, kLargest.height, bgr.data());
    benchmark::DoNotOptimize(bgr.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Yuy2ToBgr)->Unit(benchmark::kMillisecond);

void BM_MjpgToBgr(benchmark::State& state) {
  const auto mjpg = vq::dshow::BgrToMjpg(vq::dshow::RenderDeskWithSheet(kLargest), 85);
  std::vector<BYTE> bgr(size_t(kLargest.area()) * 3);
  for (auto _ : state) {
    if (!vq::dshow::MjpgToBottomUpBgr(mjpg.data(), mjpg.size(), kLargest.width, kLargest.height, bgr.data()))
      state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(bgr.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MjpgToBgr)->Unit(benchmark::kMillisecond);

// Counts the frame notices the grab filter posts.
struct FrameCounter {
  std::mutex lock;
  std::condition_variable arrived;
  long frames = 0;
};

// One iteration is one frame into the holder; the camera declares far more
// frames a second than the graph can carry, so the rate is the graph's own.
void BM_GraphFramesPerSecond(benchmark::State& state) {
  const bool mjpg = state.range(2) != 0;
  const cv::Size size(int(state.range(0)), int(state.range(1)));
  FrameCounter counter;
  vq::dshow::WindowBridge bridge;
  bridge.post = [&](HWND, UINT message, WPARAM, LPARAM) {
    if (message == WM_VIDEO_FRAME) {
      std::lock_guard lock(counter.lock);
      ++counter.frames;
      counter.arrived.notify_all();
    }
    return TRUE;
  };
  auto previous = vq::dshow::SetWindowBridge(bridge);
  vq::dshow::VirtualCameraConfig config;
  config.sizes = {size};
  config.framesPerSecond = 1000;
  vq::dshow::PlugInVirtualCamera(config);
  {
    CUSBCamra camera;
    camera.SetNotifyWindow(reinterpret_cast<HWND>(1), WM_VIDEO_FRAME);
    camera.SetSubtype(mjpg ? VIDEO_SUBTYPE_MJPG : VIDEO_SUBTYPE_YUY2);
    if (camera.Open(config.vendorId.c_str(), config.productId.c_str(), nullptr, nullptr, false, 0) != S_OK ||
        !camera.Run()) {
      state.SkipWithError("the virtual camera did not open");
    } else {
      long seen = 0;
      for (auto _ : state) {
        std::unique_lock lock(counter.lock);
        counter.arrived.wait(lock, [&] { return counter.frames > seen; });
        seen = counter.frames;
      }
      state.SetItemsProcessed(state.iterations());
      camera.Stop();
    }
  }
  vq::dshow::RemoveVirtualCameras();
  vq::dshow::SetWindowBridge(previous);
}
BENCHMARK(BM_GraphFramesPerSecond)
    ->Args({1280, 960, 0})
    ->Args({1280, 960, 1})
    ->Args({2592, 1944, 0})
    ->Args({2592, 1944, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

// The recording's cost: one sample filled from a 1280 x 960 preview picture
// (fitting, stretching and the copy at the agreed depth), and the processor
// time the whole recording graph takes while it records at 10 frames per
// second with the virtual microphone, in cores (processor seconds a second).
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "base/PathEncoding.h"
#include "capture/PushSourceVideo.h"
#include "capture/RecordingGraph.h"
#include "platform/dshow/MediaSample.h"
#include "platform/dshow/VirtualFrameSource.h"
#include "tests/capture/PicturePreview.h"

namespace {

double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void BM_PushPinFill1280x960(benchmark::State& state) {
  vqtest::PicturePreview preview;
  preview.SetPicture(vq::dshow::RenderDeskWithSheet(cv::Size(1280, 960)));
  auto source = ComPtr<CPushSourceVideo>::Adopt(new CPushSourceVideo(1280, 960, 10));
  source->Pin()->SetPreview(&preview);
  CMediaType type;
  source->Pin()->GetMediaType(int(state.range(0)), &type);
  source->Pin()->SetMediaType(&type);
  auto sample = ComPtr<IMediaSample>::Adopt(new CMediaSample(long(type.lSampleSize)));
  for (auto _ : state) source->Pin()->FillBuffer(sample.Get());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PushPinFill1280x960)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_RecordingCoresAt10Fps(benchmark::State& state) {
  setenv("VQ_VIRTUAL_AUDIO", "1", 1);
  vqtest::PicturePreview preview;
  preview.SetPicture(vq::dshow::RenderDeskWithSheet(cv::Size(1280, 960)));
  char folder[] = "/tmp/vq-bench-XXXXXX";
  if (!mkdtemp(folder)) return state.SkipWithError("no temporary folder");
  const std::wstring path = vq::PathFromBytes(std::string(folder) + "/r.asf");
  CoInitialize(nullptr);
  for (auto _ : state) {
    RecordingGraph record{};
    const double cpu = ProcessSeconds();
    const auto wall = std::chrono::steady_clock::now();
    if (FAILED(BuildRecordingGraph(&record, &preview, path.c_str(), 1280, 960, 10, 462500)))
      state.SkipWithError("the graph did not run");
    std::this_thread::sleep_for(std::chrono::seconds(5));
    StopRecordingGraph(&record);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    state.counters["cores"] = (ProcessSeconds() - cpu) / seconds;
  }
  CoUninitialize();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RecordingCoresAt10Fps)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

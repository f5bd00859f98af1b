// The network source's record walk over a frame response, and the sample
// renderer drawing one RGB24 frame into its holder, straight and turned.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "capture/SampleVideoRenderer.h"
#include "capture/TcpRecords.h"

namespace {

void BM_TcpFrameResponseWalk(benchmark::State& state) {
  std::vector<uint8_t> body;
  auto put = [&](int32_t v) {
    for (int i = 0; i < 4; ++i) body.push_back(uint8_t(uint32_t(v) >> (8 * i)));
  };
  const char size[] = "1600*1200";
  put(0);
  put(int32_t(sizeof size - 1));
  body.insert(body.end(), size, size + sizeof size - 1);
  put(1);
  put(1 << 20);
  body.resize(body.size() + (1 << 20), 0x55);
  size_t jpegBytes = 0;
  vqcapture::TcpRecordHandlers handlers;
  handlers.resolution = [](int, int) {};
  handlers.jpeg = [&](const uint8_t*, size_t n) { jpegBytes += n; };
  for (auto _ : state) benchmark::DoNotOptimize(vqcapture::ParseTcpResponse(body.data(), body.size(), handlers));
  benchmark::DoNotOptimize(jpegBytes);
}
BENCHMARK(BM_TcpFrameResponseWalk);

void BM_RendererDrawsRgbFrame(benchmark::State& state) {
  const int width = 1280, height = 960;
  const CMediaType type = vq::dshow::MakeVideoType(MEDIASUBTYPE_RGB24, width, height, 0);
  auto* sample = new CMediaSample(width * height * 3);
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  for (long i = 0; i < long(width) * height * 3; ++i) data[i] = BYTE(i * 7);
  sample->SetActualDataLength(width * height * 3);
  CDrawVideo draw;
  draw.SetRotation(int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(draw.DrawImage(sample, type));
  sample->Release();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RendererDrawsRgbFrame)->Arg(0)->Arg(90)->Unit(benchmark::kMillisecond);

}  // namespace

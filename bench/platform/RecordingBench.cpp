// Encoding one 1280 x 960 frame into the ASF file (conversion to YUV and
// WMV2), from the 32-bit and 24-bit bitmaps the recording's source offers.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <opencv2/imgproc.hpp>

#include "base/PathEncoding.h"
#include "platform/dshow/AsfMuxer.h"
#include "platform/dshow/VirtualFrameSource.h"

namespace {

// The desk scene as a bottom-up DIB of 24 or 32 bits.
std::vector<BYTE> DeskBitmap(int bits) {
  cv::Mat bgr = vq::dshow::RenderDeskWithSheet(cv::Size(1280, 960));
  cv::Mat flipped, out;
  cv::flip(bgr, flipped, 0);
  if (bits == 32)
    cv::cvtColor(flipped, out, cv::COLOR_BGR2BGRA);
  else
    out = flipped;
  return std::vector<BYTE>(out.data, out.data + out.total() * out.elemSize());
}

void BM_AsfEncodeFrame1280x960(benchmark::State& state) {
  const int bits = int(state.range(0));
  const auto bitmap = DeskBitmap(bits);
  char folder[] = "/tmp/vq-bench-XXXXXX";
  if (!mkdtemp(folder)) return state.SkipWithError("no temporary folder");
  {
    vq::dshow::AsfMuxer muxer;
    vq::dshow::AsfVideoFormat f;
    f.width = f.inputWidth = 1280;
    f.height = f.inputHeight = 960;
    f.frameTime = 1000000;
    f.bitRate = 462500;
    f.inputSubtype = bits == 32 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24;
    if (FAILED(muxer.AddVideo(f)) || FAILED(muxer.Open(vq::PathFromBytes(std::string(folder) + "/b.asf"))))
      return state.SkipWithError("cannot open the file");
    REFERENCE_TIME start = 0;
    for (auto _ : state) {
      if (FAILED(muxer.WriteVideo(bitmap.data(), long(bitmap.size()), start))) state.SkipWithError("write failed");
      start += f.frameTime;
    }
    muxer.Finish();
  }
  std::filesystem::remove_all(folder);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AsfEncodeFrame1280x960)->Arg(32)->Arg(24)->Unit(benchmark::kMillisecond);

}  // namespace

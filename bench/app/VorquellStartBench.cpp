// The main window on the virtual camera pair, without a display: the time
// from creating the window to the first processed preview frame, and the
// memory the process holds while both cameras are open.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/BrandingData.h"
#include "app/VorquellDlg.h"
#include "bench/app/BenchWindow.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/MessageQueue.h"

namespace {

double ResidentMegabytes() {
  long pages = 0, resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void StartToFirstPreviewFrame(benchmark::State& state) {
  PrepareBenchFolders(int(state.range(0)), int(state.range(1)));
  PlugVirtualPair();
  for (auto _ : state) {
    CBrandingData branding;
    CVorquellDlg window(nullptr, &branding);
    if (!StartedLive(window)) state.SkipWithError("no preview frame");
    state.PauseTiming();
    window.DestroyWindow();
    state.ResumeTiming();
  }
  vq::dshow::RemoveVirtualCameras();
}
BENCHMARK(StartToFirstPreviewFrame)
    ->Args({2592, 1944})
    ->Args({1280, 960})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

void MemoryWithBothCamerasOpen(benchmark::State& state) {
  PrepareBenchFolders(int(state.range(0)), int(state.range(1)));
  PlugVirtualPair();
  for (auto _ : state) {
    const double before = ResidentMegabytes();
    CBrandingData branding;
    CVorquellDlg window(nullptr, &branding);
    window.Create(CVorquellDlg::IDD, nullptr);
    if (!PumpUntil([&] { return FirstFrameShown(window) && window.PortraitController(); }))
      state.SkipWithError("cameras not open");
    // A second of live video, so the buffers in use have all been made.
    const auto live = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    PumpUntil([&] { return std::chrono::steady_clock::now() > live; });
    state.counters["held_MB"] = ResidentMegabytes() - before;
    state.counters["process_MB"] = ResidentMegabytes();
    window.DestroyWindow();
  }
  vq::dshow::RemoveVirtualCameras();
}
BENCHMARK(MemoryWithBothCamerasOpen)->Args({2592, 1944})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

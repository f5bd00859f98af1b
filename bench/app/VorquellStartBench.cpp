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
#include "app/BrandingDataWriter.h"
#include "app/VorquellDlg.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualCameraIds.h"

namespace {

// A program folder with a data file listing the virtual pair, no splash, and
// the capture size; the per-user folders beside it.
void PrepareFolders(int width, int height) {
  static std::string root;
  if (root.empty()) {
    char folder[] = "/tmp/vq-bench-start-XXXXXX";
    root = ::mkdtemp(folder) ? folder : "/tmp";
  }
  for (const char* sub : {"program", "home", "appdata"}) std::filesystem::create_directories(root + "/" + sub);
  setenv("VQ_PROGRAM_DIR", (root + "/program").c_str(), 1);
  setenv("HOME", (root + "/home").c_str(), 1);
  setenv("VQ_COMMON_APPDATA", (root + "/appdata").c_str(), 1);
  setenv("VQ_HEADLESS", "1", 1);
  BrandingContent content;
  content.cameraList = std::string(vq::kVirtualCameraVendorId) + vq::kVirtualDocumentCameraProductId +
                       vq::kVirtualCameraVendorId + vq::kVirtualPortraitCameraProductId + ";";
  WriteBrandingDataFile(root + "/program/data.dat", EncodeBrandingData(content));
  FILE* ini = std::fopen((root + "/program/Sys.ini").c_str(), "w");
  if (ini) {
    std::fprintf(ini, "[IMAGE]\nDocCamWidth=%d\nDocCamHeight=%d\n", width, height);
    std::fclose(ini);
  }
}

void PlugPair() {
  vq::dshow::PlugInVirtualCamera(vq::dshow::VirtualCameraConfig::Document());
  vq::dshow::PlugInVirtualCamera(vq::dshow::VirtualCameraConfig::Portrait());
}

bool PumpUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

// The preview has processed a frame once it can hand one out.
bool FirstFrameShown(CVorquellDlg& window) {
  CCaptureController* camera = window.DocumentController();
  return camera && !camera->GetFrame().empty();
}

double ResidentMegabytes() {
  long pages = 0, resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void StartToFirstPreviewFrame(benchmark::State& state) {
  PrepareFolders(int(state.range(0)), int(state.range(1)));
  PlugPair();
  for (auto _ : state) {
    CBrandingData branding;
    CVorquellDlg window(nullptr, &branding);
    window.Create(CVorquellDlg::IDD, nullptr);
    if (!PumpUntil([&] { return FirstFrameShown(window); })) state.SkipWithError("no preview frame");
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
  PrepareFolders(int(state.range(0)), int(state.range(1)));
  PlugPair();
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

// The capture command on the virtual document camera at 2592 x 1944, without
// a display: from the capture button's command to the page saved, as a
// colour JPEG and as a black-and-white G4 TIFF.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "app/BrandingData.h"
#include "app/VorquellDlg.h"
#include "bench/app/BenchWindow.h"
#include "platform/dshow/VirtualCamera.h"

namespace {

namespace fs = std::filesystem;

size_t FilesUnder(const fs::path& folder) {
  std::error_code error;
  size_t count = 0;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    count += it->is_regular_file(error) ? 1 : 0;
  return count;
}

void TriggerToSavedPage(benchmark::State& state, const char* colorSetting) {
  const fs::path images = fs::temp_directory_path() / ("vq-bench-capture-" + std::to_string(::getpid()));
  PrepareBenchFolders(2592, 1944, std::string(colorSetting) + "\n[FILE]\nFOLDPATH=" + images.string() + "\n");
  PlugVirtualPair();
  CBrandingData branding;
  CVorquellDlg window(nullptr, &branding);
  window.Create(CVorquellDlg::IDD, nullptr);
  const auto frameShown = [&] {
    CCaptureController* camera = window.DocumentController();
    return camera && !camera->GetFrame().empty();
  };
  if (!PumpUntil(frameShown)) state.SkipWithError("no preview frame");
  size_t saved = FilesUnder(images);
  for (auto _ : state) {
    window.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CAPTURE, BN_CLICKED), 0);
    if (FilesUnder(images) != ++saved) state.SkipWithError("no page saved");
  }
  window.DestroyWindow();
  vq::dshow::RemoveVirtualCameras();
  fs::remove_all(images);
}

void ToJpeg(benchmark::State& state) { TriggerToSavedPage(state, "COLOR=0"); }
void ToG4Tiff(benchmark::State& state) { TriggerToSavedPage(state, "COLOR=2"); }

BENCHMARK(ToJpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(ToG4Tiff)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace

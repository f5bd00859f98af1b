// Sys.ini as the program meets it at start and at close: the settings
// record loaded (49 keys read, the file written back) and saved at close,
// on a file of its own keys and on one that carries 5 MB of other lines; and
// the main window started to its first preview frame and closed on each.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "app/BrandingData.h"
#include "app/SysSettings.h"
#include "app/VorquellDlg.h"
#include "base/PathEncoding.h"
#include "bench/app/BenchWindow.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/PrivateProfile.h"

namespace {

// Lines of a section the program does not know, about `bytes` long.
std::string OtherLines(size_t bytes) {
  std::string text = bytes ? "[History]\n" : "";
  char line[96];
  for (int i = 0; text.size() < bytes; ++i) {
    std::snprintf(line, sizeof line, "Entry%06d=/home/user/Pictures/Ketterby/20240105/IMG%05d.jpg\n", i, i % 100000);
    text += line;
  }
  return text;
}

void RecordLoadedAndSavedAtClose(benchmark::State& state) {
  PrepareBenchFolders(1280, 960, OtherLines(size_t(state.range(0))));
  const std::wstring path = vq::JoinPath(vq::ProgramFolder(), L"Sys.ini");
  for (auto _ : state) {
    CSysSettings settings;
    settings.OpenIniFile(path.c_str());
    settings.Load();
    settings.imageIndex++;
    if (!settings.Save()) state.SkipWithError("Sys.ini not written");
  }
}
BENCHMARK(RecordLoadedAndSavedAtClose)->Arg(0)->Arg(5 << 20)->Unit(benchmark::kMillisecond)->UseRealTime();

// 49 keys read one by one from a Sys.ini of 5 MB, from its last section: from a
// file last changed seconds ago (taken from memory) and from one changed
// just now (read again and compared, since a change within the same clock
// tick would keep its stamps).
void KeysReadFromAFileOf5MB(benchmark::State& state) {
  const bool settled = state.range(0) != 0;
  PrepareBenchFolders(1280, 960, OtherLines(5 << 20));
  const std::wstring path = vq::JoinPath(vq::ProgramFolder(), L"Sys.ini");
  CSysSettings record;
  record.OpenIniFile(path.c_str());
  record.Load();
  // A change time cannot be set back: the file is left to settle.
  if (settled) std::this_thread::sleep_for(std::chrono::seconds(3));
  wchar_t value[260];
  for (auto _ : state) {
    for (int i = 0; i < 49; ++i)
      benchmark::DoNotOptimize(GetPrivateProfileStringW(L"Language", L"Current", L"CN", value, 260, path.c_str()));
  }
}
BENCHMARK(KeysReadFromAFileOf5MB)->ArgName("settled")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void WindowStartedAndClosed(benchmark::State& state) {
  PrepareBenchFolders(1280, 960, OtherLines(size_t(state.range(0))));
  PlugVirtualPair();
  for (auto _ : state) {
    CBrandingData branding;
    CVorquellDlg window(nullptr, &branding);
    if (!StartedLive(window)) state.SkipWithError("no preview frame");
    window.DestroyWindow();
  }
  vq::dshow::RemoveVirtualCameras();
}
BENCHMARK(WindowStartedAndClosed)
    ->Arg(0)
    ->Arg(5 << 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

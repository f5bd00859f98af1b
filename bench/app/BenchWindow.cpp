#include "bench/app/BenchWindow.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/BrandingDataWriter.h"
#include "app/VorquellDlg.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/VirtualCameraIds.h"

void PrepareBenchFolders(int width, int height, const std::string& moreSettings) {
  static std::string root;
  if (root.empty()) {
    char folder[] = "/tmp/vq-bench-window-XXXXXX";
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
    std::fprintf(ini, "[IMAGE]\nDocCamWidth=%d\nDocCamHeight=%d\n%s", width, height, moreSettings.c_str());
    std::fclose(ini);
  }
}

void PlugVirtualPair() {
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

bool FirstFrameShown(CVorquellDlg& window) {
  CCaptureController* camera = window.DocumentController();
  return camera && !camera->GetFrame().empty();
}

bool StartedLive(CVorquellDlg& window) {
  window.Create(CVorquellDlg::IDD, nullptr);
  return PumpUntil([&] { return FirstFrameShown(window); });
}

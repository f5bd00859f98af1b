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
#include "platform/win/ModalLoops.h"

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
  // The layer's modal loop, looking at the condition again at least every 2 ms.
  vqplatform::ModalLoop loop;
  loop.done = done;
  loop.idle = [] {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    return true;
  };
  loop.timeoutMs = 20000;
  return vqplatform::RunModalLoop(loop) == vqplatform::LoopEnd::kDone;
}

bool FirstFrameShown(CVorquellDlg& window) {
  CCaptureController* camera = window.DocumentController();
  return camera && !camera->GetFrame().empty();
}

bool StartedLive(CVorquellDlg& window) {
  window.Create(CVorquellDlg::IDD, nullptr);
  return PumpUntil([&] { return FirstFrameShown(window); });
}

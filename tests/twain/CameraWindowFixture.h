#pragma once
// The real camera window behind the real bridge, on two virtual cameras with
// the ids of model A and its portrait camera, and a settings file written by
// the test.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "capture/CaptureController.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Encoding.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Windows.h"
#include "tests/twain/SourceFixture.h"
#include "twain/PaldroseDlg.h"

namespace twaintest {

using namespace std::chrono_literals;
using strenvik::CPaldroseDlg;

inline constexpr wchar_t kNoCamera[] = L"未找到USB摄像头设备，或者设备被其他软件占用";
inline constexpr wchar_t kMainLost[] = L"主摄像头发生异常，可能原因为USB连接错误，请重新拔插设备后重新启动TWAIN！";
inline constexpr wchar_t kNoPictureInPicture[] = L"双摄像头同时开启模式失败，可能原因为USB数据传输速率问题！";

class CameraWindow : public SourceFixture {
 protected:
  void SetUp() override {
    SourceFixture::SetUp();
    SetUIFactory(nullptr);  // the real bridge and window
    main = vq::dshow::PlugInVirtualCamera(DocumentCamera());
    auto portrait = vq::dshow::VirtualCameraConfig::Portrait();
    portrait.vendorId = L"2E1A";
    portrait.productId = L"0110";
    portrait.sizes = {{640, 480}, {1280, 960}};
    secondary = vq::dshow::PlugInVirtualCamera(portrait);
  }
  virtual vq::dshow::VirtualCameraConfig DocumentCamera() {
    auto document = vq::dshow::VirtualCameraConfig::Document();
    document.vendorId = L"2E1A";
    document.productId = L"0101";
    document.sizes = {{640, 480}, {1280, 960}};
    return document;
  }
  void TearDown() override {
    ds.reset();
    vq::dshow::RemoveVirtualCameras();
    strenvik::CameraModeCount = 3;
    SourceFixture::TearDown();
  }
  // The settings file the window reads when it opens.
  void Settings(const std::string& lines, const std::string& image = "") {
    ds.reset();  // a window closing saves its settings
    const std::string folder = vq::WideToUtf8(vq::MachineDataFolder());
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/TwainPara0101.ini") << "[IMAGE]\nResolutionWidth=1280\nResolutionHeight=960\n" << image << lines;
  }
  CPaldroseDlg& Window() { return *static_cast<CMFC_UI*>(ds->GetUI())->CameraWindow(); }
  static bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = vqtest::kPatience) {
    return vqtest::Pump(done, limit);
  }
  // Dispatches every message posted to this thread before the call (and
  // any thread message among them) and returns; false past the patience.
  bool PumpPosted() { return vqtest::DispatchPosted(); }
  void Click(int id) { SendMessageW(GetDlgItem(Window().GetSafeHwnd(), id), BM_CLICK, 0, 0); }
  bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(Window().GetSafeHwnd(), id)); }

  std::shared_ptr<vq::dshow::VirtualCamera> main, secondary;
  // The boxes a test names; any other fails it.
  vqtest::ExpectedBoxes boxes;
};

}  // namespace twaintest

#include "tests/vorquell/MainWindowFixture.h"

#include <sstream>
#include <thread>

#include "app/BrandingDataWriter.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "tests/support/TestEnv.h"

namespace vqtest {

void MainWindowTest::SetUp() {
  vqplatform::ClearMessageBoxLog();
  vqplatform::SetMessageBoxAnswer([](const vqplatform::MessageBoxRecord&) { return IDOK; });
}

void MainWindowTest::TearDown() {
  if (window_ && window_->GetSafeHwnd()) window_->DestroyWindow();
  window_.reset();
  vq::dshow::RemoveVirtualCameras();
  vqplatform::SetMessageBoxAnswer(nullptr);
  TakeQuitRequest();
}

void MainWindowTest::WriteDataFile(const std::string& cameraList) {
  BrandingContent content;
  content.logo = BrandingPicture{2, 2, std::vector<uint8_t>(12, 200)};
  content.cameraList = cameraList;
  content.title = "Vorquell";
  content.label = "label";
  ASSERT_TRUE(WriteBrandingDataFile((TempDir() / "program" / "data.dat").string(), EncodeBrandingData(content)));
}

void MainWindowTest::WriteSettings(const std::string& text) {
  ASSERT_TRUE(WriteFile(TempDir() / "program" / "Sys.ini", text));
}

std::shared_ptr<vq::dshow::VirtualCamera> MainWindowTest::Plug(const wchar_t* vendor, const wchar_t* product) {
  vq::dshow::VirtualCameraConfig config;
  config.vendorId = vendor;
  config.productId = product;
  config.sizes = {{640, 480}, {1280, 960}};
  config.framesPerSecond = 30;
  return vq::dshow::PlugInVirtualCamera(config);
}

OpenMainWindow& MainWindowTest::Start() {
  window_ = std::make_unique<OpenMainWindow>(nullptr, &branding_);
  window_->Create(CVorquellDlg::IDD, nullptr);
  return *window_;
}

std::vector<std::wstring> MainWindowTest::Boxes() const {
  std::vector<std::wstring> texts;
  for (const auto& box : vqplatform::MessageBoxLog()) texts.push_back(box.text);
  return texts;
}

bool MainWindowTest::TakeQuitRequest() {
  MSG msg;
  bool quit = false;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) quit |= msg.message == WM_QUIT;
  return quit;
}

bool Pump(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

int CountIniKeys(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  int keys = 0;
  while (std::getline(lines, line)) keys += !line.empty() && line[0] != '[' && line.find('=') != std::string::npos;
  return keys;
}

}  // namespace vqtest

#include "tests/twain/TestBridge.h"

namespace twaintest {

BridgeScript& Script() {
  static BridgeScript script;
  return script;
}

TestBridge::TestBridge(CTWAINDS_FreeImage* ds) : CTWAIN_UI(ds) { Script().bridge = this; }

TestBridge::~TestBridge() {
  if (Script().bridge == this) Script().bridge = nullptr;
}

TW_INT16 TestBridge::ShowUI(TW_USERINTERFACE ui, bool uiOnly, bool indicators) {
  ++Script().shows;
  return CTWAIN_UI::ShowUI(ui, uiOnly, indicators);
}

std::vector<cv::Mat> TestBridge::GetImages() {
  const std::vector<cv::Mat>& pages = Script().pages;
  return std::vector<cv::Mat>(pages.rbegin(), pages.rend());
}

bool TestBridge::OnTransferStart() {
  ++Script().transferStarts;
  return true;
}

bool TestBridge::OnTransferEnd() {
  ++Script().transferEnds;
  return true;
}

bool TestBridge::CaptureWithoutUI() {
  if (!Script().captureUploads) return false;
  return Scan();
}

namespace {
CTWAIN_UI* MakeTestBridge(CTWAINDS_FreeImage* ds) { return new TestBridge(ds); }
}  // namespace

TestBridgeScope::TestBridgeScope() {
  Script() = BridgeScript{};
  SetUIFactory(MakeTestBridge);
}

TestBridgeScope::~TestBridgeScope() {
  SetUIFactory(nullptr);
  Script() = BridgeScript{};
}

cv::Mat Page(int width, int height, cv::Scalar colour) {
  return cv::Mat(height, width, CV_8UC3, colour);
}

}  // namespace twaintest

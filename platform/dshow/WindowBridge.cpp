#include "platform/dshow/WindowBridge.h"

#include <cstdio>
#include <mutex>

namespace vq::dshow {
namespace {

std::mutex& BridgeLock() {
  static std::mutex m;
  return m;
}

WindowBridge& Bridge() {
  static WindowBridge bridge;
  return bridge;
}

WindowBridge Current() {
  std::lock_guard lock(BridgeLock());
  return Bridge();
}

}  // namespace

WindowBridge SetWindowBridge(WindowBridge bridge) {
  std::lock_guard lock(BridgeLock());
  std::swap(Bridge(), bridge);
  return bridge;
}

BOOL PostWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto b = Current();
  return b.post ? b.post(window, message, wParam, lParam) : FALSE;
}

LRESULT SendWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto b = Current();
  return b.send ? b.send(window, message, wParam, lParam) : 0;
}

void BroadcastToTopLevelWindows(UINT message, WPARAM wParam, LPARAM lParam) {
  auto b = Current();
  if (b.broadcast) b.broadcast(message, wParam, lParam);
}

void ShowMessageBox(const wchar_t* text) {
  auto b = Current();
  if (b.messageBox)
    b.messageBox(text);
  else
    std::fprintf(stderr, "%ls\n", text ? text : L"");
}

}  // namespace vq::dshow

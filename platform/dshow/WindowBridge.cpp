#include "platform/dshow/WindowBridge.h"

#include <mutex>

#include "platform/win/MessageQueue.h"
#include "platform/win/Singletons.h"
#include "platform/win/Window.h"

namespace vq::dshow {
namespace {

std::mutex& BridgeLock() {
  static std::mutex m;
  return m;
}

WindowBridge& Bridge() {
  static auto* bridge = vqplatform::MakeSingleton<WindowBridge>();
  return *bridge;
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
  if (b.post) return b.post(window, message, wParam, lParam);
  return window ? PostMessageW(window, message, wParam, lParam) : FALSE;
}

LRESULT SendWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto b = Current();
  if (b.send) return b.send(window, message, wParam, lParam);
  return window ? SendMessageW(window, message, wParam, lParam) : 0;
}

namespace {
struct Broadcast {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
BOOL PostToTopLevel(HWND window, LPARAM data) {
  const auto* b = reinterpret_cast<const Broadcast*>(data);
  PostMessageW(window, b->message, b->wParam, b->lParam);
  return TRUE;
}
}  // namespace

void BroadcastToTopLevelWindows(UINT message, WPARAM wParam, LPARAM lParam) {
  auto b = Current();
  if (b.broadcast) {
    b.broadcast(message, wParam, lParam);
    return;
  }
  // Posted, not sent: cameras report from any thread and must not wait for a window.
  Broadcast record{message, wParam, lParam};
  EnumWindows(PostToTopLevel, reinterpret_cast<LPARAM>(&record));
}

}  // namespace vq::dshow

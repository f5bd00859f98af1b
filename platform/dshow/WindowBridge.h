#pragma once
// The few window services the camera layer needs: posting and sending a
// message, and telling every top-level window about a device change. They go
// to the window layer, or to handlers a test installs in its place.
#include <functional>

#include "platform/win/WinTypes.h"

namespace vq::dshow {

struct WindowBridge {
  std::function<BOOL(HWND, UINT, WPARAM, LPARAM)> post;
  std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> send;
  std::function<void(UINT, WPARAM, LPARAM)> broadcast;
};

// Installs the handlers; returns the ones installed before.
WindowBridge SetWindowBridge(WindowBridge bridge);

BOOL PostWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void BroadcastToTopLevelWindows(UINT message, WPARAM wParam, LPARAM lParam);

constexpr UINT kWmDeviceChange = 0x0219;
constexpr WPARAM kDbtDeviceArrival = 0x8000;
constexpr WPARAM kDbtDeviceRemoveComplete = 0x8004;
constexpr UINT kCbAddString = 0x0143;

}  // namespace vq::dshow

#pragma once
// Checks of the layer's windows against what the X server shows.
#include <chrono>
#include <functional>

#include "platform/win/GdiSurface.h"
#include "platform/win/WinTypes.h"
#include "tests/e2e/XServer.h"

namespace vqtest {

// Polls until the condition holds; false after `limit`.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(5));

RECT ScreenRectOf(HWND hwnd);
POINT MiddleOf(HWND hwnd);
vqplatform::WindowImage LayerImage(HWND hwnd);

// Waits until the server shows what the layer drew for the window, where
// the layer says the window is; the screenshot comes from the server.
Screenshot ShownOnServer(XServer& server, HWND hwnd, size_t* differences);

}  // namespace vqtest

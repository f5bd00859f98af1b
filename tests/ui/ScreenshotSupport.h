#pragma once
// Saves a window as PNG into the test's folder, and also into
// $VQ_SCREENSHOT_DIR when that is set (for looking at them).
#include <string>

#include "platform/win/WinTypes.h"

namespace vqtest {
// The path written in the test's folder, or "" when saving failed.
std::string SaveScreenshot(HWND window, const std::string& name);
}  // namespace vqtest

#include "tests/ui/ScreenshotSupport.h"

#include <cstdlib>
#include <filesystem>

#include "platform/win/Dialog.h"
#include "platform/win/GdiSurface.h"
#include "tests/support/TestEnv.h"

namespace vqtest {

std::string SaveScreenshot(HWND window, const std::string& name) {
  vqplatform::RepaintWindowTree(window);
  std::string path = TempPath(name).string();
  if (!vqplatform::SaveWindowAsPng(window, path)) return "";
  if (const char* folder = std::getenv("VQ_SCREENSHOT_DIR"); folder && *folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::filesystem::copy_file(path, std::filesystem::path(folder) / name,
                               std::filesystem::copy_options::overwrite_existing, error);
  }
  return path;
}

}  // namespace vqtest

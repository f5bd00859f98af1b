#include "twain/DataFolder.h"

#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

fs::path CommonAppDataFolder() {
  if (const char* folder = std::getenv("VQ_COMMON_APPDATA"); folder && *folder) return folder;
  if (const char* folder = std::getenv("XDG_DATA_HOME"); folder && *folder) return folder;
  const char* home = std::getenv("HOME");
  return fs::path(home ? home : "/") / ".local" / "share";
}

fs::path DataSourceFolder() {
  fs::path folder = CommonAppDataFolder() / "Ombrecht Software";
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error)) return {};
  return folder;
}

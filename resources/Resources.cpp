#include "resources/Resources.h"

#include <mutex>

namespace vqres {

void LoadResources() {
  static std::once_flag once;
  std::call_once(once, [] {
    vqplatform::RegisterDialogTemplate(IDD_MAIN_WINDOW, &MainWindowTemplate());
    vqplatform::RegisterDialogTemplate(IDD_CUSTOM_FILE_NAME, &CustomFileNameTemplate());
  });
}

}  // namespace vqres

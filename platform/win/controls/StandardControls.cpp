#include <mutex>

#include "platform/win/Controls.h"

namespace vqplatform {

void RegisterButtonClass();
void RegisterStaticClass();
void RegisterEditClass();
void RegisterComboBoxClass();
void RegisterSliderClass();
void RegisterProgressClass();
void RegisterTabClass();
void RegisterListViewClass();
void RegisterTooltipClass();

}  // namespace vqplatform

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  vqplatform::RegisterStandardControls();
  return TRUE;
}

namespace vqplatform {

void RegisterStandardControls() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterButtonClass();
    RegisterStaticClass();
    RegisterEditClass();
    RegisterComboBoxClass();
    RegisterSliderClass();
    RegisterProgressClass();
    RegisterTabClass();
    RegisterListViewClass();
    RegisterTooltipClass();
  });
}

}  // namespace vqplatform

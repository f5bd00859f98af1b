#pragma once
// Where the data source's windows open: its dialogs centred on the window
// they serve, every window inside the work area.
#include "platform/win/WinTypes.h"

namespace strenvik {

// A window of this size centred on `anchor` (on the screen without one),
// inside the work area.
RECT CentredOn(HWND anchor, int width, int height);
// `place` moved inside the work area; its top-left corner stays in it when
// it is larger.
RECT InsideWorkArea(RECT place);

}  // namespace strenvik

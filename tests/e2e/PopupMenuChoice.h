#pragma once
// A user's right-click on a window of a program running in this process,
// made from another thread, and the choice of one command from the popup
// menu it opens.
#include <string>
#include <vector>

#include "platform/win/Window.h"

namespace vqtest {

// Right-clicks `at` (client coordinates of `window`) and chooses `command`;
// returns the menu's texts once the command's handler has returned.
std::vector<std::wstring> ChooseFromPopupMenu(HWND window, POINT at, UINT command);

}  // namespace vqtest

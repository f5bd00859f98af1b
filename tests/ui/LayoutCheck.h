#pragma once
// Checks a dialog's visible controls as laid out on screen: each inside
// the dialog, none on top of another (group boxes hold theirs whole), and
// each text, and each entry of a list box, fitting its control in the
// control's font.
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

namespace vqtest {

// One line per fault, naming the control by id and text; empty when none.
std::vector<std::string> LayoutProblems(HWND dialog);

}  // namespace vqtest

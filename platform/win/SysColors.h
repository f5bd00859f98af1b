#pragma once
// System colours in the classic scheme, and their stock brushes.
#include "platform/win/GdiTypes.h"

DWORD GetSysColor(int index);
// A brush that belongs to the system: deleting it does nothing.
HBRUSH GetSysColorBrush(int index);

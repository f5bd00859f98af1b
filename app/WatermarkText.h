#pragma once
// The text stamped on saved pages, from the mark switches of the settings.
#include "app/SysSettings.h"
#include "platform/mfc/CString.h"

// The local time as "%04d/%02d/%02d-%02d:%02d:%02d" (date mark), the mark
// name (custom mark), both joined by a blank, or "" when no mark is on.
CString WatermarkTextOf(const CSysSettings& settings);

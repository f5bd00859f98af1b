#pragma once
// Lets GoogleTest show CString values as UTF-8 text in failure messages.
#include <ostream>

#include "platform/mfc/CString.h"

inline void PrintTo(const CString& s, std::ostream* os) { *os << '"' << s.ToUtf8() << '"'; }

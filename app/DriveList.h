#pragma once
// The logical drives of the machine, one entry per drive in letter order:
// the letter, ':' and a line feed.
#include <vector>

#include "platform/mfc/CString.h"
#include "platform/win/WinTypes.h"

class CDriveList {
 public:
  // Fills the list from the platform's drive mask; the number of entries.
  int Fill();
  // Fills the list from a given mask (bit 0 drive A, bit 1 drive B, ...);
  // mask 0 reports the failure `errorCode`.
  int FillFromMask(DWORD mask, DWORD errorCode);

  std::vector<CString> drives;
  int substituteDrive = 0;  // 1: move the image folders from D: to C:; set by no one here
  int lastError = 0;
};

#include "app/DriveList.h"

#include <cstdio>

#include "platform/win/KnownFolders.h"
#include "platform/win/LastError.h"

int CDriveList::Fill() {
  DWORD mask = GetLogicalDrives();
  return FillFromMask(mask, mask ? ERROR_SUCCESS : GetLastError());
}

int CDriveList::FillFromMask(DWORD mask, DWORD errorCode) {
  std::vector<CString>().swap(drives);
  if (mask == 0) {
    std::printf("_getdrives() failed with failure code: %d\n", static_cast<int>(errorCode));
    lastError = static_cast<int>(errorCode);
    return 0;
  }
  for (int bit = 0; bit < 26 && (mask >> bit) != 0; ++bit) {
    if (mask & (1u << bit)) {
      CString entry;
      entry.Format(L"%c:\n", static_cast<wchar_t>(L'A' + bit));
      drives.push_back(entry);
    }
  }
  return static_cast<int>(drives.size());
}

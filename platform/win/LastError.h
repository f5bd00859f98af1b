#pragma once
// The calling thread's last error code, as the Win32 functions of the layer
// leave it after a failure (kept with the thread's state, see Threads.h),
// and the mapping of errno values onto it.
#include "platform/win/WinTypes.h"

DWORD GetLastError();
void SetLastError(DWORD error);

namespace vq {
// Maps an errno value to the closest Win32 error code.
DWORD Win32ErrorFromErrno(int err);
// Sets the last error from errno and returns FALSE, for failure paths.
BOOL FailWithErrno(int err);
}  // namespace vq

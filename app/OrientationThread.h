#pragma once
// The page-orientation thread of the main window: every 300 ms it cuts the
// page out of the document camera's frame, asks the detector how the page is
// turned and posts the answer to the window as WM_ORIENTATION_RESULT.
#include "platform/win/Threads.h"

// Posted to the main window. wParam 0, lParam 0: the thread has ended by
// itself. wParam 1: lParam carries the detected turn (low word) and the
// preview turn the frame was shown in (high word).
#define WM_ORIENTATION_RESULT (WM_USER + 0x70)

inline LPARAM OrientationResult(int angle, int previewTurn) { return LPARAM(angle) | (LPARAM(previewTurn) << 16); }
inline int OrientationAngle(LPARAM result) { return int(result & 0xFFFF); }
inline int OrientationPreviewTurn(LPARAM result) { return int((result >> 16) & 0xFFFF); }

// The thread routine; its argument is the main window (CVorquellDlg*).
DWORD OrientationThreadProc(LPVOID window);

#pragma once
// System cursors and the cursor position. The cursor set last is shown by
// the presenter over the window under the pointer; headless it is only
// remembered. Only the system cursors below exist.
#include "platform/win/DialogTemplate.h"
#include "platform/win/WinTypes.h"

#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_IBEAM MAKEINTRESOURCEW(32513)
#define IDC_WAIT MAKEINTRESOURCEW(32514)
#define IDC_CROSS MAKEINTRESOURCEW(32515)
#define IDC_SIZENWSE MAKEINTRESOURCEW(32642)
#define IDC_SIZENESW MAKEINTRESOURCEW(32643)
#define IDC_SIZEWE MAKEINTRESOURCEW(32644)
#define IDC_SIZENS MAKEINTRESOURCEW(32645)
#define IDC_SIZEALL MAKEINTRESOURCEW(32646)
#define IDC_HAND MAKEINTRESOURCEW(32649)

#ifndef HTCLIENT
#define HTCLIENT 1
#endif

// A system cursor by its IDC_ id (the instance must be null); null for
// anything else.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
inline HCURSOR LoadCursor(HINSTANCE i, LPCWSTR n) { return LoadCursorW(i, n); }
// Returns the previous cursor.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// The pointer's screen position as the display last reported it.
BOOL GetCursorPos(LPPOINT point);

namespace vqplatform {

// The IDC_ number of a cursor from LoadCursor, 0 for none.
int SystemCursorId(HCURSOR cursor);
// Called by the presenter as the pointer moves.
void SetCursorPosition(POINT screen);

}  // namespace vqplatform

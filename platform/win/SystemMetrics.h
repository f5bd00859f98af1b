#pragma once
// Screen measures, the work area and the task bar. The screen is the X
// display's when one is shown, else the headless screen (GdiSurface.h); the
// work area is what the window manager leaves free, the whole screen when
// it says nothing. The task bar is the strip of the screen outside the work
// area; with none, a strip of height 0 along the bottom edge.
#include "platform/win/WinTypes.h"

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CXFULLSCREEN 16
#define SM_CYFULLSCREEN 17
#define SM_CXDOUBLECLK 36
#define SM_CYDOUBLECLK 37
#define SM_CXSMICON 49
#define SM_CYSMICON 50
#define SM_CXMAXIMIZED 61
#define SM_CYMAXIMIZED 62
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79
#define SM_CMONITORS 80

#define SPI_GETWORKAREA 0x0030

int GetSystemMetrics(int index);
// SPI_GETWORKAREA fills the RECT at `value`; other actions fail.
BOOL SystemParametersInfoW(UINT action, UINT param, PVOID value, UINT winIni);
inline BOOL SystemParametersInfo(UINT a, UINT p, PVOID v, UINT w) { return SystemParametersInfoW(a, p, v, w); }
UINT GetDoubleClickTime();

// Application-bar queries of the task bar.
#define ABM_GETSTATE 0x00000004
#define ABM_GETTASKBARPOS 0x00000005
#define ABS_AUTOHIDE 0x0000001
#define ABS_ALWAYSONTOP 0x0000002
#define ABE_LEFT 0
#define ABE_TOP 1
#define ABE_RIGHT 2
#define ABE_BOTTOM 3

struct APPBARDATA {
  DWORD cbSize;
  HWND hWnd;
  UINT uCallbackMessage;
  UINT uEdge;
  RECT rc;
  LPARAM lParam;
};
using PAPPBARDATA = APPBARDATA*;

// ABM_GETSTATE: ABS_ALWAYSONTOP (the task bar never hides itself here).
// ABM_GETTASKBARPOS: TRUE with uEdge and rc filled. Others: 0.
UINT_PTR SHAppBarMessage(DWORD message, PAPPBARDATA data);

namespace vqplatform {

// The work area in screen coordinates, set by the display; an empty
// rectangle goes back to the whole screen.
void SetWorkArea(const RECT& area);
RECT GetWorkArea();

}  // namespace vqplatform

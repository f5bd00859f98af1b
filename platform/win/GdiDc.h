#pragma once
// Device contexts: memory DCs over bitmaps, window DCs over a window's
// backing surface (see GdiSurface.h), the screen DC, and the DC state.
#include "platform/win/GdiTypes.h"

HDC CreateCompatibleDC(HDC dc);
// "DISPLAY" gives a screen DC; other devices are not supported here.
HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR output, const void* devMode);
BOOL DeleteDC(HDC dc);
// A window's client-area DC (whole window for GetWindowDC); a null window
// gives the screen DC.
HDC GetDC(HWND window);
HDC GetWindowDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// Returns the previously selected object; for regions the region kind.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);

int SaveDC(HDC dc);
// A negative level counts back from the newest saved state.
BOOL RestoreDC(HDC dc, int savedDc);

COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
int SetROP2(HDC dc, int rop2);
int GetROP2(HDC dc);
int SetPolyFillMode(HDC dc, int mode);
int GetPolyFillMode(HDC dc);
int SetMapMode(HDC dc, int mode);  // MM_TEXT only
int GetMapMode(HDC dc);
COLORREF SetDCBrushColor(HDC dc, COLORREF color);
COLORREF SetDCPenColor(HDC dc, COLORREF color);

BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous);
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous);
BOOL SetWindowOrgEx(HDC dc, int x, int y, LPPOINT previous);
BOOL GetWindowOrgEx(HDC dc, LPPOINT origin);
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, LPPOINT previous);
BOOL SetBrushOrgEx(HDC dc, int x, int y, LPPOINT previous);
BOOL GetBrushOrgEx(HDC dc, LPPOINT origin);
BOOL GetCurrentPositionEx(HDC dc, LPPOINT position);
BOOL LPtoDP(HDC dc, LPPOINT points, int count);
BOOL DPtoLP(HDC dc, LPPOINT points, int count);

// LOGPIXELSX/Y are 96 and HORZRES/VERTRES the screen's, for memory DCs too,
// unless the DC's maker set its own values (printer DCs).
int GetDeviceCaps(HDC dc, int index);
HWND WindowFromDC(HDC dc);
BOOL GdiFlush();

namespace vqplatform {
// Gives a DC its own GetDeviceCaps value (a printer DC's page size and
// resolution); false for a bad DC.
bool SetDeviceCapsValue(HDC dc, int index, int value);
}  // namespace vqplatform

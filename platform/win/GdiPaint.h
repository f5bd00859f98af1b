#pragma once
// WM_PAINT handling: BeginPaint takes the window's update region, erases
// the background when asked and gives a DC clipped to that region
// (rcPaint is its bounds).
#include "platform/win/GdiTypes.h"

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
using LPPAINTSTRUCT = PAINTSTRUCT*;

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

namespace vqplatform {
// What DefWindowProc does for WM_ERASEBKGND: fills the client area with the
// class background brush; false when the class has none.
bool EraseBackground(HWND window, HDC dc);
}  // namespace vqplatform

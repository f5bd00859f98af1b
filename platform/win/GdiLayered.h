#pragma once
// Layered windows: a colour key that shows what lies behind, and one alpha
// for the rest of the window. The presenter applies them when it composes.
#include "platform/win/WinTypes.h"

#define WS_EX_LAYERED 0x00080000L
#define LWA_COLORKEY 0x00000001
#define LWA_ALPHA 0x00000002

// FALSE unless the window has WS_EX_LAYERED.
BOOL SetLayeredWindowAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags);
BOOL GetLayeredWindowAttributes(HWND window, COLORREF* key, BYTE* alpha, DWORD* flags);

namespace vqplatform {
// The colour of a window pixel over what lies behind it: the key shows the
// backdrop, other pixels are mixed by the alpha. Without attributes the
// window pixel shows as it is.
COLORREF ComposeLayeredPixel(HWND window, COLORREF pixel, COLORREF backdrop);
}  // namespace vqplatform

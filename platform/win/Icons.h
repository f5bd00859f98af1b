#pragma once
// Icons: the standard icons (IDI_), icon resources by id ("<id>.png" in the
// "icons" folder beside the program, or pictures registered by code, like
// bitmaps), drawing, and the icons a window shows (WM_SETICON, else its
// class's). Icons from LoadIcon are shared and live as long as the process.
#include <cstdint>
#include <vector>

#include "platform/win/DialogTemplate.h"
#include "platform/win/GdiTypes.h"

#define IDI_APPLICATION MAKEINTRESOURCEW(32512)
#define IDI_HAND MAKEINTRESOURCEW(32513)
#define IDI_QUESTION MAKEINTRESOURCEW(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEW(32515)
#define IDI_ASTERISK MAKEINTRESOURCEW(32516)
#define IDI_WINLOGO MAKEINTRESOURCEW(32517)
#define IDI_WARNING IDI_EXCLAMATION
#define IDI_ERROR IDI_HAND
#define IDI_INFORMATION IDI_ASTERISK

#define ICON_SMALL 0
#define ICON_BIG 1
#define ICON_SMALL2 2

// A standard icon (null instance, an IDI_ name) or the program's icon
// resource MAKEINTRESOURCE(id); null with ERROR_RESOURCE_NAME_NOT_FOUND.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
inline HICON LoadIcon(HINSTANCE instance, LPCWSTR name) { return LoadIconW(instance, name); }
// Draws the icon at 32 x 32 pixels with its top-left corner at (x, y),
// blended by its transparency.
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
// Frees an icon made by CreateIconFromPixels; shared icons stay.
BOOL DestroyIcon(HICON icon);

namespace vqplatform {

// An icon's picture: top-down rows of 0xAARRGGBB, alpha not premultiplied.
struct IconPixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;
};

// Registers (or, with empty pixels, removes) an icon resource picture.
void RegisterIconResource(UINT id, IconPixels pixels);
// A new icon of its own from a picture (DestroyIcon frees it); null for
// an empty or inconsistent picture.
HICON CreateIconFromPixels(IconPixels pixels);
// The picture of an icon; false for anything that is no icon.
bool GetIconPixels(HICON icon, IconPixels* out);
// The icon a window shows: the one given by WM_SETICON (big or small,
// falling back to the other), else its class's; null when none.
HICON ShownWindowIcon(HWND window, bool big);

}  // namespace vqplatform
